#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer) in a build folder of their own and runs each for
# a bounded time.
#
#   tests/fuzz/run_fuzzers.sh SECONDS [TARGET...]
#
# TARGET: loc_reader, parameters, scoring_matrix, whole_run, and where the
# companions build (htslib found) vcf_reader, rqtl_reader, wrapped_loc_reader, mapmaker_reader,
# map_reader (all by default).
# Each target starts from its seed corpus, tests/fuzz/corpus/<target>/, and
# keeps the inputs it finds in <build>/corpus/<target>/, where the next run
# goes on. Findings (crash-*, leak-*, timeout-*, oom-*) are written to
# <build>/findings/ and the target's output to <build>/logs/<target>.log.
#
# Environment:
#   CXX             clang++ to build with (default: clang++, else clang++-14)
#   FUZZ_BUILD_DIR  build folder (default: build-fuzz in the source tree)
#   FUZZ_JOBS       targets run at once (default 1)
#   FUZZ_TIMEOUT    seconds one input may take before it counts as a hang
#                   (default 60: the targets run at the lowest priority, and
#                   on a busy machine they can wait seconds for a core)
#
# Exit status: 0 when no target found anything, 1 when one did, 2 when the
# targets could not be built (no clang, no libFuzzer).
set -euo pipefail

usage() {
  echo "usage: $0 SECONDS [loc_reader|parameters|scoring_matrix|whole_run|vcf_reader|rqtl_reader|wrapped_loc_reader|mapmaker_reader|map_reader...]" >&2
  exit 2
}
[ $# -ge 1 ] || usage
seconds="$1"
shift
case "$seconds" in '' | *[!0-9]*) usage ;; esac
all_targets=(loc_reader parameters scoring_matrix whole_run vcf_reader rqtl_reader wrapped_loc_reader mapmaker_reader map_reader)
companion_targets=" vcf_reader rqtl_reader wrapped_loc_reader mapmaker_reader map_reader "
targets=("$@")
chosen=${#targets[@]}
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")
for t in "${targets[@]}"; do
  case " ${all_targets[*]} " in *" $t "*) ;; *) echo "unknown target: $t" >&2; usage ;; esac
done

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source_dir="$(cd "$here/../.." && pwd)"
build="${FUZZ_BUILD_DIR:-$source_dir/build-fuzz}"
jobs="${FUZZ_JOBS:-1}"
timeout="${FUZZ_TIMEOUT:-60}"

cxx="${CXX:-}"
if [ -z "$cxx" ]; then
  for candidate in clang++ clang++-14; do
    if command -v "$candidate" > /dev/null 2>&1; then cxx="$candidate"; break; fi
  done
fi
if [ -z "$cxx" ] || ! "$cxx" --version 2> /dev/null | grep -qi clang; then
  echo "run_fuzzers.sh: the fuzz targets need clang with libFuzzer (set CXX to clang++)" >&2
  exit 2
fi

mkdir -p "$build"
build="$(cd "$build" && pwd)"
if ! cmake -S "$source_dir" -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
       -DTARVEK_FUZZ=ON -DTARVEK_BUILD_TESTS=OFF -DTARVEK_BUILD_BENCH=OFF > "$build/configure.log" 2>&1; then
  tail -n 30 "$build/configure.log" >&2 || true
  echo "run_fuzzers.sh: configuring the fuzz targets failed (see $build/configure.log)" >&2
  exit 2
fi
# The companions' targets need htslib; without it they are left out of the
# default set (and refused when named).
if ! grep -q '^HTSLIB_FOUND:INTERNAL=1' "$build/CMakeCache.txt"; then
  kept=()
  for t in "${targets[@]}"; do
    case "$companion_targets" in
      *" $t "*)
        if [ "$chosen" -gt 0 ]; then
          echo "run_fuzzers.sh: $t needs htslib (apt-get install libhts-dev pkg-config)" >&2
          exit 2
        fi
        echo "$t: skipped (no htslib)" ;;
      *) kept+=("$t") ;;
    esac
  done
  targets=("${kept[@]}")
fi
if ! cmake --build "$build" -j2 $(printf -- '--target fuzz_%s ' "${targets[@]}") > "$build/build.log" 2>&1; then
  tail -n 30 "$build/configure.log" "$build/build.log" 2> /dev/null >&2 || true
  echo "run_fuzzers.sh: building the fuzz targets failed (see $build/build.log)" >&2
  exit 2
fi

mkdir -p "$build/findings" "$build/logs"
# The targets run in a scratch folder of their own under TMPDIR; one that
# crashes cannot remove it, so it goes with this script.
scratch="$(mktemp -d "$( [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/tarvek-fuzzers.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

dict_of() {
  case "$1" in
    loc_reader | whole_run | map_reader) echo "$here/loc.dict" ;;
    wrapped_loc_reader) echo "$here/wrapped_loc.dict" ;;
    vcf_reader) echo "$here/vcf.dict" ;;
    rqtl_reader) echo "$here/rqtl.dict" ;;
    mapmaker_reader) echo "$here/mapmaker.dict" ;;
    *) echo "$here/$1.dict" ;;
  esac
}
max_len_of() {
  case "$1" in
    loc_reader | vcf_reader | rqtl_reader | wrapped_loc_reader | mapmaker_reader | map_reader) echo 4096 ;;
    *) echo 1024 ;;
  esac
}

run_one() {
  local t="$1"
  mkdir -p "$build/corpus/$t" "$scratch/$t"
  # Absolute paths only: the targets change their working folder per input.
  TMPDIR="$scratch/$t" nice -n 19 "$build/tests/fuzz/fuzz_$t" \
    -max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb=2048 -max_len="$(max_len_of "$t")" \
    -dict="$(dict_of "$t")" -print_final_stats=1 -artifact_prefix="$build/findings/$t-" \
    "$build/corpus/$t" "$here/corpus/$t" > "$build/logs/$t.log" 2>&1
}

summary() {
  local t="$1" status="$2" stats
  stats="$(grep -E '^#[0-9]+' "$build/logs/$t.log" | tail -n 1 || true)"
  if [ "$status" -eq 0 ]; then
    echo "$t: no finding. $stats"
  else
    echo "$t: FINDING (status $status), see $build/logs/$t.log and $build/findings/"
    grep -E 'ERROR|fuzz finding|SUMMARY' "$build/logs/$t.log" | head -n 5 || true
  fi
}

found=0
pending=("${targets[@]}")
while [ ${#pending[@]} -gt 0 ]; do
  batch=("${pending[@]:0:$jobs}")
  pending=("${pending[@]:$jobs}")
  pids=()
  for t in "${batch[@]}"; do
    run_one "$t" &
    pids+=($!)
  done
  for i in "${!batch[@]}"; do
    status=0
    wait "${pids[$i]}" || status=$?
    summary "${batch[$i]}" "$status"
    [ "$status" -eq 0 ] || found=1
  done
done
exit "$found"
