#!/bin/sh
# Runs the example from VCF to an R/qtl csv file and has R/qtl read it:
# read.cross must give no warning and find every individual and marker.
# Exit status 77 (skipped) where Rscript or the qtl package is missing.
# Arguments: tarvek-import, tarvek, tarvek-export, the examples folder.
set -eu
import="$1" tarvek="$2" export="$3" examples="$4"

command -v Rscript >/dev/null 2>&1 || { echo "Rscript not found: skipped"; exit 77; }
Rscript -e 'quit(status = if (requireNamespace("qtl", quietly = TRUE)) 0 else 1)' >/dev/null 2>&1 ||
  { echo "R package qtl not installed: skipped"; exit 77; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$examples/cross.vcf" "$examples/matrix.txt" "$examples/mapping_parameters.txt" "$work/"
cd "$work"
"$import" vcf --parents P1,P2 cross.vcf -o cross.loc 2>/dev/null
"$tarvek" cross.loc >/dev/null
"$export" rqtl cross_map.loc -o cross.csv

# The map's groups and markers, counted from the map file itself.
markers=$(awk 'NR > 11 && /^;bad|^;excessive/ { exit } NR > 11 && !/^;/ && NF > 1' cross_map.loc | wc -l)

Rscript - "$markers" <<'RSCRIPT'
markers <- as.integer(commandArgs(trailingOnly = TRUE)[1])
suppressPackageStartupMessages(library(qtl))
warned <- character(0)
x <- withCallingHandlers(
  read.cross("csv", file = "cross.csv"),
  warning = function(w) {
    warned <<- c(warned, conditionMessage(w))
    invokeRestart("muffleWarning")
  })
# Markers the multipoint map puts at one position (no crossover between
# them once errors are accounted for) are data, not a fault of the file.
warned <- warned[!grepl("same position", warned)]
if (length(warned) > 0) stop("read.cross warned: ", paste(warned, collapse = "; "))
if (nind(x) != 100) stop("expected 100 individuals, read ", nind(x))
if (totmar(x) != markers) stop("expected ", markers, " markers, read ", totmar(x))
cat("R/qtl read", nind(x), "individuals and", totmar(x), "markers on", nchr(x), "chromosomes\n")
RSCRIPT
