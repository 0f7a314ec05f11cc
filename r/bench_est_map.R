# The multipoint map of a 2,000-marker F2 (5 chromosomes of 400 markers,
# 200 individuals, 0.5 % errors, 2 % missing) by tarvek_est_map and by
# R/qtl's est.map at the error rate tarvek estimated per chromosome: the
# lengths per chromosome and the seconds of each.
#   Rscript r/bench_est_map.R
suppressMessages({library(qtl); library(tarvek)})
set.seed(2000)
map <- sim.map(len = rep(100, 5), n.mar = rep(400, 5), include.x = FALSE, eq.spacing = FALSE)
cross <- sim.cross(map, type = "f2", n.ind = 200, error.prob = 0.005, missing.prob = 0.02)
cat("markers", totmar(cross), "individuals", nind(cross), "\n")
t_ours <- system.time(ours <- tarvek_est_map(cross, threads = 1))[["elapsed"]]
t_ours2 <- system.time(ours2 <- tarvek_est_map(cross, threads = 2))[["elapsed"]]
cat("tarvek_est_map seconds (1 thread):", t_ours, " (2 threads):", t_ours2, "\n")
t_theirs <- 0
for (chr in names(ours)) {
  rate <- attr(ours[[chr]], "error_rate")
  t <- system.time(theirs <- est.map(subset(cross, chr = chr), error.prob = rate, tol = 1e-6, maxit = 10000))[["elapsed"]]
  t_theirs <- t_theirs + t
  a <- diff(range(ours[[chr]])); b <- diff(range(theirs[[1]]))
  cat(sprintf("chr %s: error rate %.5f  tarvek %.2f cM  est.map %.2f cM  difference %.3f%%  est.map %.1f s\n",
              chr, rate, a, b, 100 * (a - b) / b, t))
}
cat("est.map seconds:", t_theirs, " speed-up (1 thread):", t_theirs / t_ours, "\n")
