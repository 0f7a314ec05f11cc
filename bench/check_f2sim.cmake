# Checks of the simulator's output, run by ctest: the same options give the
# same bytes, the default F2 output keeps the bytes it always had, the header
# states the real counts, every marker line has one single-letter score per
# individual, and bad options fail with status 2.
# Usage: cmake -DF2SIM=<path of f2sim> -P check_f2sim.cmake

set(options --chromosomes 3 --markers 31 --individuals 17 --distorted 2 --missing-heavy 2
            --dominant-share 0.2 --seed 7 --name check)
execute_process(COMMAND ${F2SIM} ${options} OUTPUT_VARIABLE first RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "f2sim failed: ${status}")
endif()
execute_process(COMMAND ${F2SIM} ${options} OUTPUT_VARIABLE second)
if(NOT first STREQUAL second)
  message(FATAL_ERROR "two runs with the same options differ")
endif()

# Recorded from the first version of the simulator; other tests and the example
# data hold digests of its output, so these bytes must never move.
execute_process(COMMAND ${F2SIM} --markers 200 --individuals 50 --seed 3 OUTPUT_VARIABLE plain)
string(SHA256 digest "${plain}")
if(NOT digest STREQUAL "43d1ac528151ad3c54faf0e3686c5e2cf1e9299d651f72bbca5ec989e9ef45f2")
  message(FATAL_ERROR "the default F2 output changed: sha256 ${digest}")
endif()
string(SHA256 digest "${first}")
if(NOT digest STREQUAL "e5292e7c2b6a593ad85a21fd0e76565bb310b801004ce62e7831e5cb8c439b77")
  message(FATAL_ERROR "the F2 output with extra and dominant markers changed: sha256 ${digest}")
endif()

string(REGEX MATCH "^name = check\npopt = F2\nnloc = 35\nnind = 17\n" header "${first}")
if(NOT header)
  message(FATAL_ERROR "unexpected header")
endif()
string(LENGTH "${header}" header_length)
string(SUBSTRING "${first}" ${header_length} -1 body)
string(REGEX MATCHALL "[^\n]*\n" lines "${body}")
list(LENGTH lines count)
if(NOT count EQUAL 35)
  message(FATAL_ERROR "${count} marker lines instead of 35")
endif()
string(REPEAT "\t[ABHCD-]" 17 scores)  # CMake regexes have no {n}
set(names "")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^(c0[1-3]m00(0[1-9]|1[0-1])|dist0[12]|miss0[12]_c0[1-3]m00[0-9][0-9])${scores}\n$")
    message(FATAL_ERROR "malformed marker line: ${line}")
  endif()
  list(APPEND names "${CMAKE_MATCH_1}")
endforeach()
list(REMOVE_DUPLICATES names)
list(LENGTH names distinct)
if(NOT distinct EQUAL 35)
  message(FATAL_ERROR "marker names are not unique")
endif()

foreach(bad "--bogus;1" "--markers;x" "--error-rate;1.5" "--seed")
  execute_process(COMMAND ${F2SIM} ${bad} OUTPUT_VARIABLE out ERROR_VARIABLE err
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 2 OR NOT out STREQUAL "" OR err STREQUAL "")
    message(FATAL_ERROR "'${bad}' gave status ${status}, output '${out}'")
  endif()
endforeach()
