suppressPackageStartupMessages(library(qtl))

test_that("mapped crosses are crosses that R/qtl works with", {
  data(hyper, package = "qtl")
  data(listeria, package = "qtl")
  for (cross in list(hyper, listeria)) {
    mapped <- suppressWarnings(tarvek_map(cross, choose_settings = TRUE, threads = 1))
    expect_s3_class(mapped, "cross")
    expect_identical(class(mapped), class(cross))
    expect_output(print(summary(mapped)))
    pdf(NULL)
    expect_silent(plotMap(mapped))
    dev.off()
    rf <- est.rf(mapped)
    expect_true(is.matrix(rf$rf))
    out <- suppressWarnings(scanone(calc.genoprob(mapped, step = 2), pheno.col = 1))
    expect_s3_class(out, "scanone")
    # Every marker of the input is mapped or listed as rejected, once.
    mapped_markers <- unlist(lapply(mapped$geno, function(g) colnames(g$data)))
    expect_false(anyDuplicated(mapped_markers) > 0)
    expect_true(all(diff(unlist(lapply(pull.map(mapped), diff))) > -Inf))
    expect_type(attr(mapped, "log"), "character")
    expect_match(attr(mapped, "log"), "ORDERING MARKERS")
    expect_s3_class(attr(mapped, "flagged"), "data.frame")
  }
})

test_that("the map file is the program's on the loc file the package writes", {
  binary <- Sys.getenv("TARVEK_BINARY")
  skip_if(binary == "", "TARVEK_BINARY names no tarvek program")
  data(hyper, package = "qtl")
  dir <- tempfile("tarvek")
  dir.create(dir)
  old <- setwd(dir)
  on.exit(setwd(old))
  mapped <- tarvek_map(hyper, core_lod = 8, min_lod = 3, typed_only = TRUE, framework = TRUE, threads = 1,
                       map_file = "r_map.loc")
  write_tarvek_loc(hyper, "cross.loc")
  writeLines(c("0\t0\t0\t0\t0\t0", "0\t0\t2\t1\t0\t1", "0\t2\t0\t0\t1\t1", "0\t1\t0\t0\t0\t0",
               "0\t0\t1\t0\t0\t0", "0\t1\t1\t0\t0\t0"), "matrix.txt")
  command <- strsplit(attr(mapped, "tarvek_command"), " ")[[1]]
  status <- system2(binary, command[-1], stdout = FALSE, stderr = FALSE)
  expect_equal(status, 0)
  expect_identical(readBin("cross_map.loc", "raw", 1e7), readBin("r_map.loc", "raw", 1e7))
  back <- read_tarvek_map("cross_map.loc")
  expected <- lapply(mapped$geno, function(g) colnames(g$data))
  expect_identical(unname(split(back$markers$marker, back$markers$group)), unname(expected))
})

test_that("an R session survives bad input, with the program's messages as conditions", {
  data(hyper, package = "qtl")
  expect_error(tarvek_map(data.frame(a = 1)), class = "tarvek_error")
  expect_error(tarvek_est_map(list()), class = "tarvek_error")
  four_way <- hyper
  class(four_way)[1] <- "4way"
  expect_error(tarvek_map(four_way), "cannot be mapped", class = "tarvek_error")
  empty <- hyper
  empty$geno <- list()
  expect_error(tarvek_map(empty), "no genotypes", class = "tarvek_error")
  expect_error(tarvek_est_map(empty), "no genotypes", class = "tarvek_error")
  all_missing <- hyper
  for (chr in names(all_missing$geno)) all_missing$geno[[chr]]$data[] <- NA
  expect_error(tarvek_map(all_missing), "every marker was rejected", class = "tarvek_error")
  fit <- tarvek_est_map(all_missing)
  expect_s3_class(fit, "map")
  set.seed(1)
  one <- sim.cross(sim.map(len = 50, n.mar = 2, include.x = FALSE), type = "bc", n.ind = 60)
  one$geno[[1]]$data <- one$geno[[1]]$data[, 1, drop = FALSE]
  one$geno[[1]]$map <- one$geno[[1]]$map[1]
  expect_equal(sum(nmar(tarvek_map(one, core_lod = 3, min_lod = 2))), 1)
  expect_length(tarvek_est_map(one)[[1]], 1)
  expect_error(tarvek_map(hyper, core_lod = 0), "core_LOD must be > 0", class = "tarvek_error")
  expect_error(tarvek_map(hyper, matrix_file = tempfile()), "bad matrix file", class = "tarvek_error")
  expect_error(tarvek_est_map(hyper, error_rate = 2), "error_rate", class = "tarvek_error")
  bad_names <- subset(hyper, chr = 1)
  colnames(bad_names$geno[[1]]$data)[1] <- "a\tb"
  expect_error(tarvek_map(bad_names), "cannot be one field", class = "tarvek_error")
})

test_that("the multipoint map of the current order is R/qtl's est.map at the estimated error rate", {
  set.seed(21)
  map <- sim.map(len = c(80, 60), n.mar = c(25, 20), include.x = FALSE, eq.spacing = FALSE)
  cross <- sim.cross(map, type = "bc", n.ind = 150, error.prob = 0.01, missing.prob = 0.05)
  ours <- tarvek_est_map(cross)
  rate <- attr(ours[[1]], "error_rate")
  expect_true(rate > 0.001 && rate < 0.05)
  for (chr in names(ours)) {
    theirs <- est.map(subset(cross, chr = chr), error.prob = attr(ours[[chr]], "error_rate"), tol = 1e-6)
    len_ours <- diff(range(ours[[chr]]))
    len_theirs <- diff(range(theirs[[1]]))
    expect_lt(abs(len_ours - len_theirs) / len_theirs, 0.02)
  }
  fixed <- tarvek_est_map(cross, error_rate = 0)
  expect_equal(attr(fixed[[1]], "error_rate"), 0)
})

test_that("flagged genotypes are the ones set to NA, at their marker and individual", {
  set.seed(7)
  cross <- sim.cross(sim.map(len = 100, n.mar = 150, include.x = FALSE), type = "bc", n.ind = 100,
                     error.prob = 0.02)
  mapped <- tarvek_map(cross, chromosomes = 1, core_lod = 8, min_lod = 3, threads = 1)
  flagged <- attr(mapped, "flagged")
  expect_gt(nrow(flagged), 0)
  before <- pull.geno(cross)
  after <- pull.geno(mapped)
  expect_true(all(is.na(after[cbind(flagged$individual, match(flagged$marker, colnames(after)))])))
  expect_false(any(is.na(before[cbind(flagged$individual, match(flagged$marker, colnames(before)))])))
  # Everything else is as it was, marker by marker.
  after[cbind(flagged$individual, match(flagged$marker, colnames(after)))] <- before[
    cbind(flagged$individual, match(flagged$marker, colnames(before)))]
  expect_identical(unname(after), unname(before[, colnames(after)]))
})
