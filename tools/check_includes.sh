#!/usr/bin/env bash
# Checks that every #include between the folders of src/ points the way the
# layers allow, and prints each one that does not. Exit status 1 when any
# include goes the wrong way.
#
#   base      <- everything (and includes nothing above it)
#   genotype  -> base
#   ordering  -> base
#   linkage   -> genotype, base
#   refine    -> ordering, genotype, base
#   output    -> linkage, genotype, base
#   multipoint -> genotype, base
#   interop   -> multipoint, linkage, genotype, base
#   draw      -> interop, multipoint, linkage, genotype, base
#   run       -> every stage above (not interop, draw)
set -euo pipefail
src="$(cd "$(dirname "${BASH_SOURCE[0]}")/../src" && pwd)"

allowed() {
  case "$1" in
    base) echo "base" ;;
    genotype) echo "genotype base" ;;
    ordering) echo "ordering base" ;;
    linkage) echo "linkage genotype base" ;;
    refine) echo "refine ordering genotype base" ;;
    output) echo "output linkage genotype base" ;;
    multipoint) echo "multipoint genotype base" ;;
    interop) echo "interop multipoint linkage genotype base" ;;
    draw) echo "draw interop multipoint linkage genotype base" ;;
    run) echo "run base genotype linkage ordering refine output multipoint" ;;
    *) echo "" ;;
  esac
}

bad=0
while IFS= read -r file; do
  folder="${file#"$src"/}"
  folder="${folder%%/*}"
  ok=" $(allowed "$folder") "
  if [ "$ok" = "  " ]; then
    echo "$file: folder '$folder' has no place in the layers" >&2
    bad=1
    continue
  fi
  while IFS= read -r line; do
    target="${line#*\"}"
    target="${target%%/*}"
    if [[ "$ok" != *" $target "* ]]; then
      echo "${file#"$src"/}: includes $target/ (${line}); $folder/ may include only:$ok" >&2
      bad=1
    fi
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[a-z_]+/' "$file" || true)
done < <(find "$src" -type f \( -name '*.hpp' -o -name '*.cpp' \) | sort)

if [ "$bad" -ne 0 ]; then
  echo "include check: some includes go the wrong way" >&2
  exit 1
fi
echo "include check: every include points the way the layers allow"
