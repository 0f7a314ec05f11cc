#!/usr/bin/env bash
# Rebuilds tarvek, tarvek-import, tarvek-draw and the simulator, maps the
# example cross and draws the pictures the README shows:
#   docs/cross_map.png        the map, in rows on an A4 landscape page
#   docs/cross_heatmap.png    r and LOD of all pairs of markers
#   docs/cross_marey.png      the VCF example's map against physical position
#   docs/cross_physical.png   its groups beside their chromosomes
#   docs/cross_two_maps.png   the map of cross.loc beside the map of cross.vcf
#   docs/sim_map_rows.png     12 simulated chromosomes of 2,000 markers in all:
#                             rows, and names thinned where they crowd
# Needs cairo and htslib (Debian: libcairo2-dev libhts-dev). The same
# example gives the same pictures.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="${BUILD_DIR:-$root/build}"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" --target tarvek tarvek-import tarvek-draw f2sim

draw="$build/tarvek-draw"
"$build/tarvek" "$here/cross.loc" > /dev/null
mkdir -p "$root/docs"
"$draw" map "$here/cross_map.loc" -o "$root/docs/cross_map.png" 2> /dev/null
"$draw" heatmap --size 800 "$here/cross_map.loc" -o "$root/docs/cross_heatmap.png"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/tarvek-import" vcf --parents P1,P2 "$here/cross.vcf" -o "$work/cross_vcf.loc" 2> /dev/null
"$build/tarvek" -A 3 -m "$here/matrix.txt" -l "$work/log.txt" "$work/cross_vcf.loc" > /dev/null 2>&1
"$draw" marey "$work/cross_vcf_map.loc" -o "$root/docs/cross_marey.png" 2> /dev/null
"$draw" compare "$work/cross_vcf_map.loc" -o "$root/docs/cross_physical.png" 2> /dev/null
"$draw" compare "$here/cross_map.loc" "$work/cross_vcf_map.loc" -o "$root/docs/cross_two_maps.png" 2> /dev/null

"$build/bench/f2sim" --chromosomes 12 --markers 2000 --individuals 150 --seed 4 --name sim > "$work/sim.loc"
"$build/tarvek" -g 12 16 4 -m "$here/matrix.txt" -l "$work/log.txt" "$work/sim.loc" > /dev/null
"$draw" map "$work/sim_map.loc" -o "$root/docs/sim_map_rows.png" 2> /dev/null

echo "wrote the pictures in $root/docs"
