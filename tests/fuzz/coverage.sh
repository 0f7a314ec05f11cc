#!/usr/bin/env bash
# Line coverage of the fuzz targets on their corpora. Builds the targets with
# clang's source-based coverage in a build folder of their own, runs each
# once over its seed corpus and over the corpus that run_fuzzers.sh kept, and
# prints llvm-cov's summary of the files of src/ for each target.
#
#   tests/fuzz/coverage.sh [TARGET...]
#
# Environment:
#   CXX                clang++ to build with (default: clang++, else clang++-14)
#   FUZZ_BUILD_DIR     where run_fuzzers.sh kept its corpus (default: build-fuzz)
#   COVERAGE_BUILD_DIR build folder (default: build-fuzz-cov)
#   LLVM_PROFDATA, LLVM_COV  the tools matching the compiler
#
# The full per-file reports are left in <coverage build>/coverage/<target>.txt.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source_dir="$(cd "$here/../.." && pwd)"
corpus_build="${FUZZ_BUILD_DIR:-$source_dir/build-fuzz}"
build="${COVERAGE_BUILD_DIR:-$source_dir/build-fuzz-cov}"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(loc_reader parameters scoring_matrix whole_run)

first_of() {
  for candidate in "$@"; do
    if command -v "$candidate" > /dev/null 2>&1; then echo "$candidate"; return; fi
  done
}
cxx="${CXX:-$(first_of clang++ clang++-14)}"
profdata="${LLVM_PROFDATA:-$(first_of llvm-profdata llvm-profdata-14)}"
cov="${LLVM_COV:-$(first_of llvm-cov llvm-cov-14)}"
if [ -z "$cxx" ] || [ -z "$profdata" ] || [ -z "$cov" ]; then
  echo "coverage.sh: needs clang++, llvm-profdata and llvm-cov" >&2
  exit 2
fi

flags="-fprofile-instr-generate -fcoverage-mapping"
mkdir -p "$build"
# The configure checks run instrumented programs too; their profiles stay in
# the build folder.
LLVM_PROFILE_FILE="$build/configure-%p.profraw" \
  cmake -S "$source_dir" -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARVEK_FUZZ=ON -DTARVEK_BUILD_TESTS=OFF -DTARVEK_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fprofile-instr-generate" > "$build/configure.log" 2>&1
cmake --build "$build" -j2 $(printf -- '--target fuzz_%s ' "${targets[@]}") > "$build/build.log" 2>&1

# The files of src/ each target is aimed at; the TOTAL line counts every file
# linked into the target.
focus_of() {
  case "$1" in
    loc_reader) echo "genotype/loc_reader.cpp genotype/old_order.cpp genotype/screening.cpp output/map_file.cpp" ;;
    parameters) echo "run/run_parameters.cpp genotype/text_input.cpp genotype/scoring_matrix.cpp" ;;
    scoring_matrix) echo "genotype/scoring_matrix.cpp" ;;
    *) echo "" ;;
  esac
}

out="$build/coverage"
mkdir -p "$out"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
for t in "${targets[@]}"; do
  corpora=("$here/corpus/$t")
  [ -d "$corpus_build/corpus/$t" ] && corpora+=("$corpus_build/corpus/$t")
  rm -f "$out/$t".profraw*
  LLVM_PROFILE_FILE="$out/$t.profraw" TMPDIR="$scratch" nice -n 19 \
    "$build/tests/fuzz/fuzz_$t" -runs=0 "${corpora[@]}" > "$out/$t.run.log" 2>&1
  "$profdata" merge -sparse "$out/$t.profraw" -o "$out/$t.profdata"
  "$cov" report "$build/tests/fuzz/fuzz_$t" -instr-profile="$out/$t.profdata" "$source_dir/src" \
    > "$out/$t.txt"
  inputs="$(grep -Eo 'INITED.*corp: [0-9]+' "$out/$t.run.log" | grep -Eo '[0-9]+$' || echo '?')"
  echo "$t ($inputs corpus inputs), lines covered:"
  # Columns of the report: file, regions (3), functions (3), lines (3), ...
  awk -v focus="$(focus_of "$t")" '
    $1 == "TOTAL" || index(" " focus " ", " " $1 " ") {
      printf "  %-28s %5d of %5d  %s\n", $1, $8 - $9, $8, $10
    }' "$out/$t.txt"
done
