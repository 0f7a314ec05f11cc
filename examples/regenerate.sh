#!/usr/bin/env bash
# Rebuilds the population simulator and regenerates cross.loc, the example F2
# data set: 3 chromosomes of 20 markers, 100 individuals, 1% scoring errors,
# 4% missing scores, 3 dominant markers, 2 distorted and 2 missing-heavy
# markers. The simulator is deterministic: the same options give the same file.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="${BUILD_DIR:-$root/build}"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" --target f2sim

"$build/bench/f2sim" \
  --chromosomes 3 --markers 60 --individuals 100 \
  --error-rate 0.01 --missing-rate 0.04 --dominant-share 0.05 \
  --distorted 2 --missing-heavy 2 --seed 1 --name cross \
  > "$here/cross.loc"

echo "wrote $here/cross.loc"
