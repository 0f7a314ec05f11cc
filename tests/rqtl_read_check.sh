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

# R/qtl's hyper (a backcross with two phenotypes, genotypes written BB/BA by
# write.cross) through tarvek and back: read.cross(crosstype = "bc") takes
# the export, keeps bp and sex, and est.map gives the map a length.
Rscript -e 'suppressPackageStartupMessages(library(qtl)); data(hyper); write.cross(hyper, "csv", filestem = "hyper")'
"$import" rqtl --population BC1 hyper.csv -o hyper.loc 2>/dev/null
"$tarvek" -A 19 -m matrix.txt -l hyper_log.txt hyper.loc >/dev/null 2>&1
"$export" rqtl hyper_map.loc -o hyper_back.csv 2>/dev/null
Rscript - <<'RSCRIPT'
suppressPackageStartupMessages(library(qtl))
x <- suppressWarnings(read.cross("csv", file = "hyper_back.csv", genotypes = c("A", "H"), crosstype = "bc"))
if (!all(c("bp", "sex") %in% phenames(x))) stop("the phenotypes were lost: ", paste(phenames(x), collapse = ", "))
if (nind(x) != 250) stop("expected 250 individuals, read ", nind(x))
original <- read.cross("csv", file = "hyper.csv", genotypes = c("BB", "BA"), crosstype = "bc", alleles = c("B", "A"))
if (!isTRUE(all.equal(x$pheno$bp, original$pheno$bp))) stop("bp differs after the round trip")
length <- sum(summary(est.map(x, error.prob = 0.01))[, "length"])
if (!(length > 0)) stop("est.map gave a length of ", length)
cat("hyper: R/qtl read", nind(x), "individuals,", totmar(x), "markers, phenotypes",
    paste(phenames(x), collapse = ", "), "; est.map length", round(length, 1), "cM\n")
RSCRIPT
