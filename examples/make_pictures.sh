#!/usr/bin/env bash
# Rebuilds tarvek and tarvek-draw, maps the example cross and draws the two
# pictures the README shows: docs/cross_map.png (the map) and
# docs/cross_heatmap.png (r and LOD of all pairs of markers). Needs cairo
# and htslib (Debian: libcairo2-dev libhts-dev). The same example gives the
# same pictures.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="${BUILD_DIR:-$root/build}"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" --target tarvek tarvek-draw

"$build/tarvek" "$here/cross.loc" > /dev/null
mkdir -p "$root/docs"
"$build/tarvek-draw" map "$here/cross_map.loc" -o "$root/docs/cross_map.png"
"$build/tarvek-draw" heatmap --size 800 "$here/cross_map.loc" -o "$root/docs/cross_heatmap.png"

echo "wrote $root/docs/cross_map.png and $root/docs/cross_heatmap.png"
