#!/usr/bin/env bash
# Builds the R package from the repository (its library sources staged into
# it), installs it into a temporary library, runs R CMD check on the built
# package, and fails on any ERROR or WARNING. With a tarvek program built,
# its path in TARVEK_BINARY lets the tests compare its map file with the
# package's.
#
#   r/check_package.sh [TARVEK_BINARY]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ $# -gt 0 ]; then export TARVEK_BINARY="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; fi
export MAKEFLAGS="${MAKEFLAGS:--j2}"

cd "$root/r/tarvek"
sh tools/stage.sh
cd "$work"
R CMD build --no-build-vignettes "$root/r/tarvek" >build.log 2>&1 || { cat build.log; exit 1; }
tarball=$(ls tarvek_*.tar.gz)
_R_CHECK_FORCE_SUGGESTS_=false R CMD check --no-manual "$tarball" >check.log 2>&1 || true
sed -n '/^Status:/p' check.log
if grep -q '^Status: .*\(ERROR\|WARNING\)' check.log || ! grep -q '^Status:' check.log; then
  cat check.log
  cat tarvek.Rcheck/00install.out 2>/dev/null | tail -40 || true
  cat tarvek.Rcheck/tests/testthat.Rout.fail 2>/dev/null || true
  exit 1
fi
grep -E '^\* checking .*(NOTE|WARNING|ERROR)' check.log || true
echo "check_package: R CMD check passed with no error or warning"
