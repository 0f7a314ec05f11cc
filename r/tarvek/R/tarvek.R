# tarvek from R: R/qtl crosses mapped by the tarvek library.

# The conditions the package raises: class "tarvek_error", the program's
# message, and the run's log where there is one.
tarvek_error <- function(message, call = NULL, log = "", class = character()) {
  structure(class = c(class, "tarvek_error", "error", "condition"),
            list(message = message, call = call, log = log))
}

# The population type of a cross, from its class.
cross_population <- function(cross, call) {
  if (!inherits(cross, "cross"))
    stop(tarvek_error(paste0("an R/qtl cross (class \"cross\") is needed, not an object of class \"",
                             paste(class(cross), collapse = "\", \""), "\""), call))
  type <- switch(class(cross)[1], f2 = "F2", bc = "BC1", dh = "DH", haploid = "DH",
                 riself = "RIL", risib = "RILsib", NA_character_)
  if (is.na(type))
    stop(tarvek_error(paste0("crosses of type \"", class(cross)[1],
                             "\" cannot be mapped (f2, bc, dh, haploid, riself or risib)"), call))
  if (!is.list(cross$geno) || length(cross$geno) == 0)
    stop(tarvek_error("the cross holds no genotypes", call))
  type
}

# R/qtl's genotype codes per population type and tarvek's for them
# (A 1, B 2, C = not A 3, D = not B 4, H 5).
qtl_to_tarvek <- function(population) {
  switch(population, F2 = c(1L, 5L, 2L, 4L, 3L), BC1 = c(1L, 5L), c(1L, 2L))
}

# An individuals-by-markers matrix of R/qtl codes as markers-by-individuals
# tarvek codes (0 for missing and for codes the type cannot have).
as_tarvek_codes <- function(data, population) {
  key <- qtl_to_tarvek(population)
  g <- t(unclass(data))
  out <- matrix(0L, nrow(g), ncol(g))
  ok <- !is.na(g) & g >= 1 & g <= length(key)
  out[ok] <- key[g[ok]]
  out
}

# tarvek codes back to R/qtl codes; flagged and missing genotypes are NA.
# A backcross marker scored B/H (alleles switched) is written A/H.
as_qtl_codes <- function(codes, population) {
  back <- switch(population,
                 F2 = c(1L, 3L, 5L, 4L, 2L, NA),
                 BC1 = c(1L, 1L, NA, NA, 2L, NA),
                 c(1L, 2L, NA, NA, NA, NA))
  out <- matrix(NA_integer_, nrow(codes), ncol(codes))
  ok <- codes >= 1 & codes <= 6
  out[ok] <- back[codes[ok]]
  out
}

# The markers of the cross that tarvek maps, in the cross's order: every
# chromosome, but not the X chromosome of an intercross (R/qtl codes its
# genotypes by sex and direction, not as autosomal F2 genotypes).
cross_markers <- function(cross, population) {
  chromosomes <- names(cross$geno)
  kept <- vapply(chromosomes, function(chr) {
    !(population == "F2" && identical(class(cross$geno[[chr]])[1], "X"))
  }, logical(1))
  if (!all(kept))
    warning("the X chromosome of an intercross is left out: its genotypes are coded by sex and direction",
            call. = FALSE)
  chromosomes <- chromosomes[kept]
  data <- lapply(chromosomes, function(chr) cross$geno[[chr]]$data)
  codes <- do.call(rbind, lapply(data, as_tarvek_codes, population = population))
  markers <- unlist(lapply(data, colnames), use.names = FALSE)
  if (is.null(codes) || length(markers) == 0 || ncol(codes) == 0)
    stop(tarvek_error("the cross holds no genotypes to map"))
  list(names = markers, codes = codes, chromosomes = length(chromosomes))
}

# The loc file's header and comment lines for a cross.
loc_lines <- function(cross, population, markers, name) {
  n <- ncol(markers$codes)
  header <- c(paste("name =", name), paste("popt =", population),
              paste("nloc =", length(markers$names)), paste("nind =", n))
  ids <- tryCatch(qtl::getid(cross), error = function(e) NULL)
  comments <- if (is.null(ids)) character() else paste(c(";individuals", as.character(ids)), collapse = "\t")
  list(header = header, comments = comments)
}

map_distance <- function(r, map_function) {
  r <- pmax(r, 0)
  d <- if (map_function == "haldane") -50 * log(1 - 2 * pmin(r, 0.5 - 1e-9))
       else 25 * log((1 + 2 * pmin(r, 0.5 - 1e-9)) / (1 - 2 * pmin(r, 0.5 - 1e-9)))
  # An unlinked step (r = 0.5, a new linkage segment) is a 50 cM gap.
  d[r >= 0.5] <- 50
  d
}

number_text <- function(x) format(x, digits = 15, scientific = FALSE, trim = TRUE)

# The program's messages of a run: warnings as R warnings, the others as
# messages (unless quiet).
relay_messages <- function(text, quiet) {
  lines <- strsplit(text, "\n", fixed = TRUE)[[1]]
  for (line in lines[nzchar(lines)]) {
    if (startsWith(line, "tarvek: warning: ")) {
      warning(sub("^tarvek: warning: ", "", line), call. = FALSE)
    } else if (!quiet) {
      message(line)
    }
  }
}

fail_with <- function(result, call) {
  relay_messages(result$messages, TRUE)
  if (isTRUE(result$interrupted))
    stop(tarvek_error("interrupted", call, result$log, class = "tarvek_interrupt"))
  stop(tarvek_error(result$error, call, result$log))
}

tarvek_map <- function(cross, chromosomes = NULL, core_lod = 16, min_lod = 4,
                       population = NULL, framework = FALSE, switched = FALSE,
                       threads = 0, group = TRUE, choose_settings = FALSE,
                       keep_distorted = FALSE, typed_only = FALSE, sparse_share = NULL,
                       missing_share = 0.2, chi_square = c(50, 50, 50),
                       errsweep_group = 100, singleton = 0.05, order_individuals = FALSE,
                       matrix_file = NULL, log_file = NULL, map_file = NULL,
                       multipoint = TRUE, error_rate = NULL,
                       map_function = c("haldane", "kosambi"), name = "cross", quiet = TRUE) {
  call <- match.call()
  screening_given <- !missing(missing_share) || !missing(chi_square)
  errsweep_given <- !missing(errsweep_group) || !missing(singleton)
  map_function <- match.arg(map_function)
  cross_type <- cross_population(cross, call)
  if (is.null(population)) population <- cross_type
  markers <- cross_markers(cross, cross_type)
  if (is.null(chromosomes)) chromosomes <- markers$chromosomes
  lines <- loc_lines(cross, population, markers, name)

  # The command line of the same run, option by option.
  args <- character()
  if (isTRUE(choose_settings)) args <- c(args, "-A", number_text(chromosomes))
  if (isTRUE(switched)) args <- c(args, "-a")
  if (isTRUE(framework)) args <- c(args, "-f")
  if (isTRUE(group) && !isTRUE(choose_settings))
    args <- c(args, "-g", number_text(chromosomes), number_text(core_lod), number_text(min_lod))
  if (isTRUE(keep_distorted)) args <- c(args, "-k")
  if (!is.null(matrix_file)) args <- c(args, "-m", matrix_file)
  if (isTRUE(order_individuals)) args <- c(args, "-o")
  args <- c(args, "-p", population)
  if (!isTRUE(choose_settings) || screening_given) {
    if (length(chi_square) != 3) stop(tarvek_error("chi_square needs three thresholds (1:1, 1:2:1, 1:3)", call))
    args <- c(args, "-q", number_text(missing_share), number_text(chi_square))
  }
  if (errsweep_given)
    args <- c(args, "-s", number_text(errsweep_group), number_text(singleton))
  if (!(is.numeric(threads) && length(threads) == 1 && isTRUE(threads == 0)))
    args <- c(args, "-t", number_text(threads))
  if (isTRUE(typed_only)) args <- c(args, "-u")
  if (!is.null(sparse_share)) args <- c(args, "-y", number_text(sparse_share))
  loc_name <- paste0(name, ".loc")
  args <- c(args, loc_name)

  result <- .tarvek_map(markers$names, markers$codes, lines$header, lines$comments,
                        list(arguments = args, matrix_file = if (is.null(matrix_file)) "" else matrix_file,
                             map_file = if (is.null(map_file)) "" else map_file,
                             multipoint = isTRUE(multipoint), error_rate = error_rate))
  if (!is.null(log_file)) writeLines(result$log, log_file, sep = "")
  if (!is.null(result$error)) fail_with(result, call)
  relay_messages(result$messages, quiet)

  groups <- Filter(length, result$groups)
  if (length(groups) == 0)
    stop(tarvek_error("no marker was mapped: every marker was rejected", call, result$log))
  ids <- tryCatch(qtl::getid(cross), error = function(e) NULL)
  if (is.null(ids)) ids <- seq_len(ncol(result$codes))
  geno <- list()
  flagged <- list()
  rates <- numeric()
  for (g in seq_along(result$groups)) {
    members <- result$groups[[g]]
    if (length(members) == 0) next
    chr <- as.character(length(geno) + 1)
    codes <- result$codes[members, , drop = FALSE]
    data <- t(as_qtl_codes(codes, cross_type))
    colnames(data) <- result$names[members]
    r <- if (isTRUE(multipoint)) result$intervals[[g]]$r else numeric()
    if (!isTRUE(multipoint) || length(r) != length(members) - 1) r <- rep(0.5, length(members) - 1)
    positions <- c(0, cumsum(map_distance(r, map_function)))
    names(positions) <- colnames(data)
    geno[[chr]] <- structure(list(data = data, map = positions), class = "A")
    if (isTRUE(multipoint)) rates[chr] <- result$intervals[[g]]$error_rate
    star <- which(codes == 6L, arr.ind = TRUE)
    if (nrow(star) > 0)
      flagged[[chr]] <- data.frame(chr = chr, marker = result$names[members][star[, 1]],
                                   individual = star[, 2], id = ids[star[, 2]], stringsAsFactors = FALSE)
  }
  mapped <- cross
  mapped$geno <- geno
  flagged <- if (length(flagged)) do.call(rbind, flagged)
             else data.frame(chr = character(), marker = character(), individual = integer(), id = character())
  rownames(flagged) <- NULL
  attr(mapped, "flagged") <- flagged
  attr(mapped, "rejected") <- data.frame(
    marker = c(result$bad_segregation, result$excess_missing),
    reason = c(rep("segregation", length(result$bad_segregation)), rep("missing", length(result$excess_missing))),
    stringsAsFactors = FALSE)
  attr(mapped, "error_rate") <- rates
  attr(mapped, "switched") <- result$switched
  attr(mapped, "log") <- result$log
  attr(mapped, "tarvek_command") <- paste(c("tarvek", args), collapse = " ")
  mapped
}

tarvek_est_map <- function(cross, error_rate = NULL, map_function = c("haldane", "kosambi"), threads = 0) {
  call <- match.call()
  map_function <- match.arg(map_function)
  population <- cross_population(cross, call)
  if (!is.null(error_rate) && !(is.numeric(error_rate) && length(error_rate) == 1 && is.finite(error_rate) &&
                                error_rate >= 0 && error_rate <= 0.25))
    stop(tarvek_error("error_rate must be a number from 0 to 0.25, or NULL to estimate it", call))
  chromosomes <- names(cross$geno)
  autosomal <- vapply(chromosomes, function(chr) {
    !(population == "F2" && identical(class(cross$geno[[chr]])[1], "X"))
  }, logical(1))
  data <- lapply(chromosomes[autosomal], function(chr) as_tarvek_codes(cross$geno[[chr]]$data, population))
  result <- .tarvek_est_map(data, population, error_rate, as.integer(threads))
  if (!is.null(result$error)) fail_with(result, call)
  maps <- list()
  k <- 0
  for (chr in chromosomes) {
    old <- cross$geno[[chr]]$map
    if (is.matrix(old)) old <- old[1, ]
    if (!autosomal[[chr]]) {
      warning("the X chromosome of an intercross keeps its map: its genotypes are coded by sex and direction",
              call. = FALSE)
      maps[[chr]] <- old
      next
    }
    k <- k + 1
    fit <- result$maps[[k]]
    start <- if (length(old)) old[[1]] else 0
    markers <- colnames(cross$geno[[chr]]$data)
    positions <- if (length(markers)) start + c(0, cumsum(map_distance(fit$r, map_function))) else numeric()
    names(positions) <- markers
    attr(positions, "loglik") <- fit$loglik
    attr(positions, "error_rate") <- fit$error_rate
    class(positions) <- class(cross$geno[[chr]])[1]
    maps[[chr]] <- positions
  }
  class(maps) <- "map"
  maps
}

write_tarvek_loc <- function(cross, file, name = "cross") {
  call <- match.call()
  population <- cross_population(cross, call)
  markers <- cross_markers(cross, population)
  lines <- loc_lines(cross, population, markers, name)
  text <- tryCatch(.tarvek_loc_text(markers$names, markers$codes, lines$header, lines$comments, population),
                   error = function(e) stop(tarvek_error(conditionMessage(e), call)))
  con <- file(file, open = "wb")
  on.exit(close(con))
  writeChar(text, con, eos = NULL, useBytes = TRUE)
  invisible(file)
}

read_tarvek_map <- function(file) {
  call <- match.call()
  if (!file.exists(file)) stop(tarvek_error(paste0("cannot open the map file ", file), call))
  lines <- readLines(file, warn = FALSE)
  if (length(lines) < 4) stop(tarvek_error(paste0(file, " is not a map file: fewer than four lines"), call))
  section <- "groups"
  group <- 1L
  in_group <- FALSE
  rows <- list()
  rejected <- list()
  genotypes <- list()
  score <- NA_real_
  order <- integer()
  for (line in lines[-(1:4)]) {
    if (!nzchar(line) || startsWith(line, "\t")) next
    if (startsWith(line, ";")) {
      if (startsWith(line, ";newscore=")) score <- as.numeric(sub("^;newscore=", "", line))
      if (startsWith(line, ";indOrdr\t")) {
        fields <- strsplit(line, "\t", fixed = TRUE)[[1]][-1]
        order <- suppressWarnings(as.integer(fields[nzchar(fields) & !startsWith(fields, ";")]))
      }
      if (startsWith(line, ";bad segregation")) section <- "segregation"
      if (startsWith(line, ";excessive missing")) section <- "missing"
      # A comment line after a group's markers ends the group.
      if (in_group) group <- group + 1L
      in_group <- FALSE
      next
    }
    fields <- strsplit(line, "\t", fixed = TRUE)[[1]]
    semi <- match(";", fields)
    genotypes[[fields[1]]] <- if (is.na(semi)) fields[-1] else fields[seq_len(semi - 2) + 1]
    if (section == "groups") {
      stats <- if (is.na(semi)) c(NA, NA, NA) else suppressWarnings(as.numeric(fields[semi + 1:3]))
      rows[[length(rows) + 1]] <- list(group, fields[1], stats[1], stats[2], stats[3])
      in_group <- TRUE
    } else {
      rejected[[length(rejected) + 1]] <- c(fields[1], section)
    }
  }
  column <- function(k, type) vapply(rows, function(x) as(x[[k]], type), vector(type, 1))
  markers <- data.frame(group = column(1, "integer"), marker = column(2, "character"),
                        r = column(3, "numeric"), lod = column(4, "numeric"), dist = column(5, "numeric"),
                        stringsAsFactors = FALSE)
  markers$position <- unlist(lapply(split(markers$dist, markers$group), function(d) {
    c(0, cumsum(ifelse(is.na(d), 0, d)))[seq_along(d)]
  }), use.names = FALSE)
  markers$group <- match(markers$group, unique(markers$group))
  structure(list(header = lines[1:4], markers = markers,
                 rejected = data.frame(marker = vapply(rejected, `[`, "", 1),
                                       reason = vapply(rejected, `[`, "", 2), stringsAsFactors = FALSE),
                 genotypes = genotypes, individual_order = order, score = score),
            class = "tarvek_map")
}
