#!/usr/bin/env bash
# Benchmarks tarvek on a ladder of simulated F2 data sets.
#
#   bench/run_bench.sh [--quick] [--threads "N ..."] [CASE...]
#
# Cases: 1k (1,000 markers x 200 individuals), 10k (10,000 x 300),
# 50k (50,000 x 300), 100k (100,000 x 300), all on 12 chromosomes and grouped
# with -g 12 16 4, group3k (one group of 3,000 markers x 300 on a single
# chromosome, grouping skipped, ERRSWEEP on with -s 100 0.05), and heat50k
# (tarvek-draw heatmap --size 2000 on the map of the 50k case). Without CASE
# arguments all six run; --quick runs 1k and group3k only. Each tarvek case
# runs at every thread count of --threads (default "1 2"), passed as -t.
#
# For each case and thread count: the input is generated with f2sim into
# bench/results/<case>/ (once per case), the whole tarvek program is run there
# under /usr/bin/time (wall seconds and peak resident memory), then
# tarvek_bench runs the same command line through the same pipeline and
# gives the seconds of each stage. The map file and the log of every thread
# count are compared byte for byte with those of the first; the "same" column
# says whether they agree. heat50k maps the 50k input first when
# bench/results/50k/cross_map.loc is missing, then times the heat map alone
# (it needs tarvek-draw, built where cairo and htslib are).
# After the table, where tarvek-export is built (htslib), the multipoint
# export of each grouped case's map (tarvek-export positions: the map model
# of every group and the positions table) is timed at every thread count,
# its output compared byte for byte with that of the first count.
# The tables are printed and saved to bench/results/summary.txt.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="$root/build-bench"
results="$here/results"

cases=()
quick=0
thread_counts="1 2"
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1 ;;
    --threads)
      [ $# -ge 2 ] || { echo "run_bench.sh: --threads needs a list of counts" >&2; exit 2; }
      thread_counts="$2"; shift ;;
    1k|10k|50k|100k|group3k|heat50k) cases+=("$1") ;;
    -h|--help) sed -n '2,24p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run_bench.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
  shift
done
if [ ${#cases[@]} -eq 0 ]; then
  if [ "$quick" -eq 1 ]; then cases=(1k group3k); else cases=(1k 10k 50k 100k group3k heat50k); fi
fi

if [ ! -x /usr/bin/time ]; then
  echo "run_bench.sh: /usr/bin/time is needed (Debian package 'time')" >&2
  exit 1
fi

if [ ! -d "$build" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVEK_BUILD_TESTS=OFF
fi
cmake --build "$build" --target f2sim tarvek_bench tarvek >/dev/null

f2sim="$build/bench/f2sim"
bench="$build/bench/tarvek_bench"
tarvek="$build/tarvek"

draw="$build/tarvek-draw"
export_tool="$build/tarvek-export"
if ! cmake --build "$build" --target tarvek-export >/dev/null 2>&1; then
  echo "run_bench.sh: tarvek-export is not built here (it needs htslib): the export is not timed" >&2
  export_tool=""
fi
case " ${cases[*]} " in
  *" heat50k "*)
    if ! cmake --build "$build" --target tarvek-draw >/dev/null 2>&1; then
      echo "run_bench.sh: tarvek-draw is not built here (it needs cairo and htslib): heat50k skipped" >&2
      draw=""
    fi ;;
esac
mkdir -p "$results"
summary="$results/summary.txt"
printf '%-8s %-14s %7s %9s %9s %8s %8s %8s %9s %9s %8s %5s\n' \
  case size threads wall_s peak_MB read group scores linksort errsweep rerun same | tee "$summary"

# Seconds of one stage in the current case's tarvek_bench output.
stage() { awk -v s="$1" '$1 == s {print $2; found = 1} END {if (!found) print "-"}' "$dir/stages.txt"; }

# Generates the case's input into $dir.
simulate() { "$f2sim" "${sim[@]}" --error-rate 0.01 --missing-rate 0.05 --seed 1 --name "$1" > "$dir/cross.loc"; }

for name in "${cases[@]}"; do
  if [ "$name" = heat50k ]; then
    [ -n "$draw" ] || continue
    # The map of the 50k case, made with the same options if it is not there.
    dir="$results/50k"
    mkdir -p "$dir"
    if [ ! -f "$dir/cross_map.loc" ]; then
      sim=(--chromosomes 12 --markers 50000 --individuals 300)
      simulate 50k
      cp "$root/examples/matrix.txt" "$dir/matrix.txt"
      ( cd "$dir" && "$tarvek" -g 12 16 4 cross.loc > console.txt )
    fi
    dir="$results/heat50k"
    mkdir -p "$dir"
    /usr/bin/time -o "$dir/time.txt" -f '%e s %M KB' \
      "$draw" heatmap --size 2000 "$results/50k/cross_map.loc" -o "$dir/heat.png"
    printf '%-8s %-14s %7s %9s %9s %8s %8s %8s %9s %9s %8s %5s\n' heat50k "50000x300/2000" - \
      "$(awk '{print $1}' "$dir/time.txt")" "$(awk '{printf "%.1f", $3 / 1024}' "$dir/time.txt")" \
      - - - - - - - | tee -a "$summary"
    continue
  fi
  # f2sim options, tarvek options, tarvek_bench options, size label.
  case "$name" in
    1k) sim=(--chromosomes 12 --markers 1000 --individuals 200)
        opts=(-g 12 16 4); size="1000x200" ;;
    10k) sim=(--chromosomes 12 --markers 10000 --individuals 300)
         opts=(-g 12 16 4); size="10000x300" ;;
    50k) sim=(--chromosomes 12 --markers 50000 --individuals 300)
         opts=(-g 12 16 4); size="50000x300" ;;
    100k) sim=(--chromosomes 12 --markers 100000 --individuals 300)
          opts=(-g 12 16 4); size="100000x300" ;;
    group3k) sim=(--chromosomes 1 --markers 3000 --individuals 300)
             opts=(-s 100 0.05); size="3000x300/1" ;;
  esac
  dir="$results/$name"
  mkdir -p "$dir"
  simulate "$name"
  cp "$root/examples/matrix.txt" "$dir/matrix.txt"

  first=""
  for threads in $thread_counts; do
    # The whole program; options mode reads matrix.txt and writes its log in
    # the current folder.
    ( cd "$dir" && /usr/bin/time -o time.txt -f '%e s %M KB' "$tarvek" -t "$threads" "${opts[@]}" cross.loc > console.txt )
    wall=$(awk '{print $1}' "$dir/time.txt")
    peak=$(awk '{printf "%.1f", $3 / 1024}' "$dir/time.txt")
    cp "$dir/cross_map.loc" "$dir/map_t$threads.loc"
    cp "$dir/tarvek_log.txt" "$dir/log_t$threads.txt"
    same="-"
    if [ -z "$first" ]; then
      first=$threads
    elif cmp -s "$dir/map_t$first.loc" "$dir/map_t$threads.loc" &&
         cmp -s "$dir/log_t$first.txt" "$dir/log_t$threads.txt"; then
      same=yes
    else
      same=NO
    fi

    # The stages, one by one.
    ( cd "$dir" && "$bench" -t "$threads" "${opts[@]}" -l bench_log.txt cross.loc > stages.txt 2> stages_info.txt )

    printf '%-8s %-14s %7s %9s %9s %8s %8s %8s %9s %9s %8s %5s\n' \
      "$name" "$size" "$threads" "$wall" "$peak" "$(stage read)" "$(stage grouping)" \
      "$(stage score_matrix)" "$(stage linksort)" "$(stage errsweep)" "$(stage rerun)" "$same" |
      tee -a "$summary"
  done
done

# The multipoint export of the grouped cases' maps.
[ -n "$export_tool" ] || exit 0
size_of() {
  case "$1" in 1k) echo 1000x200 ;; 10k) echo 10000x300 ;; 50k) echo 50000x300 ;; 100k) echo 100000x300 ;; esac
}
printf '\n%-8s %-14s %7s %9s %9s %5s\n' export size threads wall_s peak_MB same | tee -a "$summary"
for name in "${cases[@]}"; do
  case "$name" in 1k|10k|50k|100k) ;; *) continue ;; esac
  dir="$results/$name"
  first=""
  for threads in $thread_counts; do
    /usr/bin/time -o "$dir/export_time.txt" -f '%e s %M KB' \
      "$export_tool" positions -t "$threads" "$dir/cross_map.loc" -o "$dir/positions_t$threads.tsv" \
      2> "$dir/export_t$threads.txt"
    same="-"
    if [ -z "$first" ]; then
      first=$threads
    elif cmp -s "$dir/positions_t$first.tsv" "$dir/positions_t$threads.tsv" &&
         cmp -s "$dir/export_t$first.txt" "$dir/export_t$threads.txt"; then
      same=yes
    else
      same=NO
    fi
    printf '%-8s %-14s %7s %9s %9s %5s\n' "$name" "$(size_of "$name")" "$threads" "$(awk '{print $1}' "$dir/export_time.txt")" \
      "$(awk '{printf "%.1f", $3 / 1024}' "$dir/export_time.txt")" "$same" | tee -a "$summary"
  done
done
