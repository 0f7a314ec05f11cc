#!/usr/bin/env bash
# Rewrites the expected files of the golden cases in place from the programs
# of a build (default: build/ beside the source tree), then lists what
# changed. Review every difference before committing: the expected files are
# regression guards, right only as far as someone checked them.
#
#   tests/golden/regenerate.sh [CASE-FILTER]
#
# CASE-FILTER is a GoogleTest filter on the case names (default: all), for
# example 'Cases/Golden.Case/export_*'.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake --build "$build" --target tarvek_golden_tests -j2 >/dev/null
TARVEK_GOLDEN_REGENERATE=1 "$build/tests/tarvek_golden_tests" --gtest_filter="${1:-*}" --gtest_brief=1
find "$here/cases" -name '*.new' -delete
git -C "$root" status --short -- "$here/cases"
