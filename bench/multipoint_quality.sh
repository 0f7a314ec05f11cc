#!/usr/bin/env bash
# Simulates populations of every type with planted errors, maps them with
# the options the README advises, and prints the multipoint map's figures
# (bench/multipoint_quality.py): length against the true length, estimated
# error rate, and the precision and recall of the error calls.
#
#   bench/multipoint_quality.sh [BUILD_DIR] [SEEDS...]
#
# Environment: MARKERS (2000), INDIVIDUALS (200), CHROMOSOMES (10),
# ERROR_RATES ("0.01 0.03"), MISSING (0.03), MIN_LOD (the export's default),
# THRESHOLDS (error LODs to report precision and recall at, e.g. "2,2.5,3";
# the calls are then listed from the lowest).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
shift || true
seeds=("$@")
[ ${#seeds[@]} -gt 0 ] || seeds=(1 2)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here/../examples/matrix.txt" "$work/"
cd "$work"
markers=${MARKERS:-2000}
individuals=${INDIVIDUALS:-200}
chromosomes=${CHROMOSOMES:-10}
missing=${MISSING:-0.03}
min_lod=()
[ -n "${MIN_LOD:-}" ] && min_lod=(--min-lod "$MIN_LOD")
thresholds=()
if [ -n "${THRESHOLDS:-}" ]; then
  thresholds=(--thresholds "$THRESHOLDS")
  min_lod=(--min-lod "${THRESHOLDS%%,*}")
fi

for seed in "${seeds[@]}"; do
  for rate in ${ERROR_RATES:-0.01 0.03}; do
    for type in F2 BC1 DH RIL RILsib; do
      extra=()
      options=(-g "$chromosomes" 16 4 -p "$type")
      if [ "$type" = F2 ]; then
        extra=(--dominant-share 0.1)
        options+=(-f)
      fi
      "$build/bench/f2sim" --population "$type" --chromosomes "$chromosomes" --markers "$markers" \
        --individuals "$individuals" --error-rate "$rate" --missing-rate "$missing" --seed "$seed" \
        "${extra[@]}" --truth t.tsv --errors e.tsv > p.loc
      "$build/tarvek" "${options[@]}" p.loc > /dev/null 2>&1
      start=$(date +%s.%N)
      "$build/tarvek-export" positions p_map.loc -o pos.tsv 2> summary.txt
      end=$(date +%s.%N)
      "$build/tarvek-export" errors "${min_lod[@]}" p_map.loc -o calls.tsv 2> /dev/null
      printf '%-7s err %-5s seed %-3s %5.2fs  %s\n' "$type" "$rate" "$seed" \
        "$(echo "$end - $start" | bc)" \
        "$(python3 "$here/multipoint_quality.py" pos.tsv t.tsv --errors calls.tsv e.tsv p_map.loc --summary summary.txt "${thresholds[@]}")"
    done
  done
done
