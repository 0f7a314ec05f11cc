library(testthat)
library(tarvek)
test_check("tarvek")
