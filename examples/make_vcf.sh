#!/usr/bin/env bash
# Rebuilds the simulator and loc2vcf and regenerates cross.vcf, the example
# VCF: a simulated F2 of 3 chromosomes of 20 markers and 100 individuals
# (codominant markers only, 1% scoring errors, 4% missing calls, 2 distorted
# and 2 missing-heavy markers) with its two parents P1 and P2, plus records
# that tarvek-import skips: 4 monomorphic, 2 multiallelic, 2 indels, 2 with a
# missing and 2 with a heterozygous parent. Deterministic: the same options
# give the same file. Needs htslib (Debian: libhts-dev).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="${BUILD_DIR:-$root/build}"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" --target f2sim loc2vcf

population="$(mktemp)"
trap 'rm -f "$population"' EXIT
"$build/bench/f2sim" \
  --chromosomes 3 --markers 60 --individuals 100 \
  --error-rate 0.01 --missing-rate 0.04 --dominant-share 0 \
  --distorted 2 --missing-heavy 2 --seed 1 --name cross \
  > "$population"
"$build/bench/loc2vcf" "$population" --parents P1,P2 \
  --monomorphic 4 --multiallelic 2 --non-snp 2 --missing-parent 2 --het-parent 2 \
  -o "$here/cross.vcf"

echo "wrote $here/cross.vcf"
