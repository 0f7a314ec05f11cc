#!/usr/bin/env bash
# Maps simulated F2 populations with dominant markers with and without -f
# and prints, per run, the figures of bench/map_quality.py (mean and lowest
# |Spearman| of map order against true order), the run's score and its time.
# With --per-group, each group's size, |Spearman| and order score too.
#
#   bench/framework_quality.sh [--per-group] [BUILD_DIR] [SEEDS...]
#
# BUILD_DIR holds tarvek and bench/f2sim (default: build). Seeds default to
# 1 2 3. Cases: 1,000 x 200 and 5,000 x 300, 12 chromosomes, 1% errors, 5%
# and 20% dominant markers, grouped with -g 12 16 4.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
per_group=0
if [ "${1:-}" = "--per-group" ]; then per_group=1; shift; fi
build=$(cd "${1:-$here/../build}" && pwd)
shift || true
seeds=("$@")
[ ${#seeds[@]} -gt 0 ] || seeds=(1 2 3)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here/../examples/matrix.txt" "$work/"
cd "$work"

for size in "1000 200" "5000 300"; do
  set -- $size
  markers=$1 individuals=$2
  for dominant in 0.05 0.20; do
    for seed in "${seeds[@]}"; do
      "$build/bench/f2sim" --chromosomes 12 --markers "$markers" --individuals "$individuals" \
        --error-rate 0.01 --dominant-share "$dominant" --seed "$seed" --truth truth.tsv > x.loc
      for mode in classic framework; do
        options=(-g 12 16 4)
        [ "$mode" = framework ] && options=(-f -g 12 16 4)
        start=$(date +%s.%N)
        "$build/tarvek" "${options[@]}" x.loc > /dev/null
        seconds=$(echo "$(date +%s.%N) - $start" | bc)
        score=$(sed -n 's/^;newscore=//p' x_map.loc)
        printf '%5dx%-3d dom %.2f seed %d %-9s %s score=%s seconds=%.2f\n' "$markers" "$individuals" \
          "$dominant" "$seed" "$mode" "$(python3 "$here/map_quality.py" x_map.loc truth.tsv | \
          tr ' ' '\n' | grep -E '^(spearman|min_spearman)=' | tr '\n' ' ')" "$score" "$seconds"
        if [ "$per_group" -eq 1 ]; then
          # Group number, size, |Spearman| (from map_quality.py) and the group's order score.
          python3 "$here/map_quality.py" x_map.loc truth.tsv --per-group | sed -n 's/^group /  group /p' > groups.txt
          grep -o 'LINKSORT done, score=[-0-9]*' tarvek_log.txt | sed 's/.*=//' > scores.txt
          paste groups.txt scores.txt | sed 's/\t/ order_score=/'
        fi
      done
    done
  done
done
