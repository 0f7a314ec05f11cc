#!/usr/bin/env bash
# Maps simulated populations with and without the population type (-p) and
# F2 populations with planted switched-allele markers with and without -a,
# and prints the figures of bench/map_quality.py for each run.
#
#   bench/population_quality.sh [BUILD_DIR] [SEEDS...]
#
# BUILD_DIR holds tarvek and bench/f2sim (default: build). Seeds default to
# 1 2 3. Runs in a temporary folder that is removed at the end.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
shift || true
seeds=("$@")
[ ${#seeds[@]} -gt 0 ] || seeds=(1 2 3)
tarvek=$build/tarvek
sim=$build/bench/f2sim
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here/../examples/matrix.txt" "$work/"
cd "$work"

run() {  # label, loc, truth, tarvek options...
  local label=$1 loc=$2 truth=$3
  shift 3
  "$tarvek" "$@" "$loc" > /dev/null 2>&1
  printf '%-28s %s\n' "$label" "$(python3 "$here/map_quality.py" "${loc%.loc}_map.loc" "$truth")"
}

common="--chromosomes 12 --markers 1000 --individuals 200 --error-rate 0.01"
for seed in "${seeds[@]}"; do
  for type in BC1 DH RIL RILsib; do
    "$sim" $common --population $type --seed "$seed" --truth t.tsv > p.loc
    run "$type seed $seed" p.loc t.tsv -g 12 16 4
    run "$type seed $seed -p $type" p.loc t.tsv -g 12 16 4 -p $type
  done
  for length in 1 3; do
    "$sim" $common --seed "$seed" --switched 12 --switched-run $length --truth t.tsv > s.loc
    run "F2 switched 12x$length seed $seed" s.loc t.tsv -g 12 16 4
    run "F2 switched 12x$length seed $seed -a" s.loc t.tsv -g 12 16 4 -a
  done
  "$sim" $common --seed "$seed" --truth t.tsv > c.loc
  run "F2 clean seed $seed -a" c.loc t.tsv -g 12 16 4 -a
done
