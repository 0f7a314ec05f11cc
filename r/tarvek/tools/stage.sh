#!/bin/sh
# Copies the tarvek library's sources from the repository this package lies
# in (../.. from the package's folder) into src/tarvek_lib, so that the
# package compiles them and a package built from here carries them. Run from
# the package's folder; does nothing outside the repository.
set -e
repo=../..
lib=src/tarvek_lib
[ -f "$repo/include/tarvek/tarvek.hpp" ] && [ -d "$repo/src/run" ] || exit 0
rm -rf "$lib"
mkdir -p "$lib/include"
for folder in base genotype linkage ordering refine multipoint output run; do
  cp -R "$repo/src/$folder" "$lib/$folder"
done
rm -f "$lib/run/shared_library.cpp"
cp -R "$repo/include/tarvek" "$lib/include/tarvek"
sed -n 's/^project(tarvek VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt" > "$lib/VERSION"
