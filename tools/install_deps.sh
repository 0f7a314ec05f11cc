#!/usr/bin/env bash
# Installs the Debian packages the build needs, where they are missing.
#
#   tools/install_deps.sh          what building tarvek needs (a C++ compiler, CMake)
#   tools/install_deps.sh --all    also GoogleTest, htslib and cairo: the tests
#                                  and the companion programs; and R with Rcpp,
#                                  R/qtl and testthat: the R package
#
# Run as root, it installs the missing packages with apt-get. Otherwise it
# prints the exact apt-get command to run and exits with status 1. When
# nothing is missing it says nothing and exits with status 0.
set -euo pipefail

packages=(cmake g++ make pkg-config)
if [ "${1:-}" = "--all" ]; then
  packages+=(libgtest-dev libhts-dev libcairo2-dev r-base-dev r-cran-rcpp r-cran-qtl r-cran-testthat)
elif [ $# -gt 0 ]; then
  sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! command -v apt-get >/dev/null 2>&1; then
  echo "install_deps.sh: missing: ${missing[*]} (no apt-get here: install them with your package manager)" >&2
  exit 1
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "install_deps.sh: missing packages; run:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "install_deps.sh: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
