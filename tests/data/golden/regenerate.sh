#!/usr/bin/env bash
# Regenerates the golden runs of this folder from the reference build: the
# program built with -DTARVEK_REFERENCE=ON, which computes every pair
# statistic, score matrix and ordering step the plain way. The fast build is
# never the source of these files, so they stay an independent check of it.
#
#   tests/data/golden/regenerate.sh
#
# Review the differences (git diff) line by line before committing: the
# property test in tests/e2e/golden_e2e_test.cpp must still pass.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
build="${BUILD_DIR:-$root/build-reference}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVEK_REFERENCE=ON -DTARVEK_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target tarvek f2sim >/dev/null
tarvek="$build/tarvek"
f2sim="$build/bench/f2sim"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/examples/matrix.txt" "$work/matrix.txt"

run() {  # stem, f2sim options, tarvek options
  local stem=$1 sim=$2 options=$3
  # shellcheck disable=SC2086
  "$f2sim" $sim --name "$stem" > "$work/$stem.loc"
  # shellcheck disable=SC2086
  ( cd "$work" && "$tarvek" $options "$stem.loc" > "${stem}_stdout.txt" )
  cp "$work/$stem.loc" "$work/${stem}_map.loc" "$work/${stem}_stdout.txt" "$here/"
  cp "$work/tarvek_log.txt" "$here/${stem}_log.txt"
}

run grouped "--chromosomes 12 --markers 400 --individuals 120 --error-rate 0.01 --missing-rate 0.05 --dominant-share 0.05 --distorted 2 --missing-heavy 2 --seed 7" "-g 12 16 4"
run group "--chromosomes 1 --markers 300 --individuals 150 --error-rate 0.03 --missing-rate 0.05 --dominant-share 0.05 --seed 3" "-s 100 0.03 -o"
echo "regenerated the golden runs in $here from $tarvek"
