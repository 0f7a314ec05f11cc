#!/usr/bin/env bash
# Installs a configured build into a temporary prefix and builds and runs a
# small program against it with find_package(tarvek), as a user outside the
# project would; then checks the pkg-config file the same way.
#
#   tools/check_consumer.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: tools/check_consumer.sh BUILD_DIR}
root="$(cd "$(dirname "$0")/.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$root/tests/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer"

PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig:$work/prefix/lib64/pkgconfig" \
  c++ -std=c++20 "$root/tests/consumer/consumer.cpp" -o "$work/consumer_pc" \
  $(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig:$work/prefix/lib64/pkgconfig" pkg-config --cflags --libs tarvek)
LD_LIBRARY_PATH="$work/prefix/lib:$work/prefix/lib64" "$work/consumer_pc" >/dev/null
test -s "$work/prefix/share/tarvek/matrix.txt"
test -s "$work/prefix/share/tarvek/mapping_parameters.txt"
echo "check_consumer: find_package(tarvek) and pkg-config both build and run a program against the installed library"
