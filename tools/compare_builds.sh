#!/usr/bin/env bash
# Runs two tarvek binaries on the same simulated populations (every population
# type) and option sets (the framework, kept distorted markers and chosen
# settings included) and compares standard output, standard error, the log
# and the map file byte for byte. Used to check that the fast build and the
# reference build (the plain versions of every fast computation,
# -DTARVEK_REFERENCE=ON) agree, and that a change leaves the output alone.
#
#   tools/compare_builds.sh FAST_TARVEK REFERENCE_TARVEK F2SIM
#
# Prints one line per case with the run time of each binary, and exits with
# status 1 when any output differs.
set -euo pipefail
if [ $# -ne 3 ]; then
  sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
fast=$(realpath "$1"); reference=$(realpath "$2"); f2sim=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

recombination=$'0\t0\t0\t0\t0\t0\n0\t0\t2\t1\t0\t1\n0\t2\t0\t0\t1\t1\n0\t1\t0\t0\t0\t0\n0\t0\t1\t0\t0\t0\n0\t1\t1\t0\t0\t0'
# A-B costs more than B-A, and C/D against the homozygotes differ by direction.
asymmetric=$'0\t0\t0\t0\t0\t0\n0\t0\t3\t1\t0\t1\n0\t1\t0\t0\t2\t1\n0\t2\t0\t0\t0\t1\n0\t0\t1\t0\t0\t0\n0\t1\t2\t0\t1\t0'
# Negative entries for a missing genotype: pair scores of close markers go
# below zero while the order scores stay positive, so the search still runs.
negative=$'0	-1	-1	-1	-1	-1
-1	0	2	1	0	1
-1	2	0	0	1	1
-1	1	0	0	0	0
-1	0	1	0	0	0
-1	1	1	0	0	0'

failed=0
# name | f2sim options | matrix | tarvek options
while IFS='|' read -r name sim matrix options; do
  [ -z "$name" ] && continue
  for build in fast reference; do
    dir="$work/$name/$build"
    mkdir -p "$dir"
    # shellcheck disable=SC2086
    "$f2sim" $sim > "$dir/x.loc"
    printf '%s\n' "${!matrix}" > "$dir/matrix.txt"
    binary=$fast
    [ "$build" = reference ] && binary=$reference
    start=$(date +%s.%N)
    # shellcheck disable=SC2086
    ( cd "$dir" && "$binary" $options x.loc > stdout.txt 2> stderr.txt; echo $? > status.txt )
    end=$(date +%s.%N)
    printf -v "seconds_$build" '%.2f' "$(echo "$end - $start" | bc)"
  done
  if diff -r "$work/$name/fast" "$work/$name/reference" > "$work/$name.diff"; then
    printf 'same  %-16s fast %6ss  reference %6ss\n' "$name" "$seconds_fast" "$seconds_reference"
  else
    printf 'DIFF  %-16s\n' "$name"
    head -20 "$work/$name.diff"
    failed=1
  fi
done <<'CASES'
small|--markers 60 --individuals 40 --chromosomes 3 --seed 11|recombination|-g 3 8 3
grouped|--markers 600 --individuals 150 --chromosomes 6 --distorted 3 --missing-heavy 3 --seed 12|recombination|-g 6 16 4
satellites|--markers 400 --individuals 60 --chromosomes 4 --seed 13|recombination|-g 2 12 3
ordered|--markers 300 --individuals 120 --chromosomes 3 --seed 14|recombination|-g 3 10 3 -o
errsweep|--markers 400 --individuals 150 --chromosomes 1 --error-rate 0.04 --seed 15|recombination|-s 50 0.02 -o
asymmetric|--markers 250 --individuals 100 --chromosomes 2 --seed 16|asymmetric|-g 2 10 3 -s 60 0.03
negative|--markers 250 --individuals 100 --chromosomes 2 --error-rate 0.03 --missing-rate 0.1 --seed 17|negative|-g 2 10 3 -o
dominant|--markers 300 --individuals 90 --chromosomes 3 --dominant-share 0.3 --seed 18|recombination|-g 3 8 3
clustered|--markers 2000 --individuals 100 --chromosomes 6 --seed 19|recombination|-g 6 12 4 -t 2
switched|--markers 1500 --individuals 100 --chromosomes 4 --switched 10 --switched-run 2 --seed 20|recombination|-a -g 4 12 4 -t 2
backcross|--population BC1 --markers 1200 --individuals 80 --chromosomes 4 --switched 5 --seed 21|recombination|-p BC1 -a -g 4 10 3
doubled|--population DH --markers 900 --individuals 90 --chromosomes 4 --switched 4 --switched-run 2 --seed 22|recombination|-p DH -a -g 4 10 3 -o
selfed|--population RIL --markers 600 --individuals 100 --chromosomes 3 --error-rate 0.03 --seed 23|recombination|-p RIL -g 3 10 3 -s 50 0.03
sibmated|--population RILsib --markers 700 --individuals 120 --chromosomes 4 --switched 3 --missing-heavy 4 --seed 24|recombination|-p RILsib -a -g 4 10 3 -o
selfed-clustered|--population RIL --markers 2000 --individuals 80 --chromosomes 6 --seed 25|recombination|-p RIL -g 6 12 4 -t 2
framework|--markers 400 --individuals 100 --chromosomes 3 --dominant-share 0.25 --missing-heavy 6 --seed 26|recombination|-f -g 3 8 3 -o
framework-kept|--markers 400 --individuals 100 --chromosomes 3 --dominant-share 0.2 --distorted 5 --missing-heavy 4 --seed 27|recombination|-f -k -g 3 8 3 -s 50 0.02
chosen|--markers 500 --individuals 100 --chromosomes 4 --dominant-share 0.1 --switched 3 --missing-heavy 3 --seed 28|recombination|-A 4
CASES
exit $failed
