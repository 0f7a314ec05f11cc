# Checks of the simulator's population types, run by ctest: each type writes
# only the classes it has, inbred lines are fixed, and a dominant share is
# refused where it has no meaning.
# Usage: cmake -DF2SIM=<path of f2sim> -P check_f2sim_types.cmake

# Runs f2sim with the given arguments and stops the check unless it succeeds.
function(simulate out_var)
  execute_process(COMMAND ${F2SIM} ${ARGN} OUTPUT_VARIABLE out ERROR_VARIABLE err
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "f2sim ${ARGN} failed with status ${status}: ${err}")
  endif()
  set(${out_var} "${out}" PARENT_SCOPE)
endfunction()

# The marker lines of a loc file, without the four header lines.
function(marker_lines out_var text)
  string(REGEX REPLACE "^name = [^\n]*\npopt = [^\n]*\nnloc = [^\n]*\nnind = [^\n]*\n" "" body "${text}")
  string(REGEX MATCHALL "[^\n]*\n" lines "${body}")
  set(${out_var} "${lines}" PARENT_SCOPE)
endfunction()

# With errors, missing values and extra markers, every score is still one of
# the type's classes; with no errors the doubled and inbred lines are fixed.
set(common --chromosomes 3 --markers 60 --individuals 40 --distorted 3 --missing-heavy 2
           --error-rate 0.05 --seed 11)
foreach(case "BC1;AH" "DH;AB" "RIL;AB" "RILsib;AB")
  list(GET case 0 type)
  list(GET case 1 classes)
  simulate(out --population ${type} ${common})
  if(NOT out MATCHES "^name = f2sim\npopt = ${type}\nnloc = 65\nnind = 40\n")
    message(FATAL_ERROR "${type}: unexpected header")
  endif()
  marker_lines(lines "${out}")
  list(LENGTH lines count)
  if(NOT count EQUAL 65)
    message(FATAL_ERROR "${type}: ${count} marker lines instead of 65")
  endif()
  string(REPEAT "\t[${classes}-]" 40 scores)
  string(REGEX REPLACE "(.)(.)" "\\1.*\\2|\\2.*\\1" both "${classes}")
  set(seen "")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^[a-z0-9_]+${scores}\n$")
      message(FATAL_ERROR "${type}: a class the type does not have in ${line}")
    endif()
    # Every regular marker segregates in 40 individuals.
    if(line MATCHES "^c" AND NOT line MATCHES "${both}")
      message(FATAL_ERROR "${type}: a regular marker with one class: ${line}")
    endif()
  endforeach()
  string(REGEX MATCHALL "\ndist[^\n]*" distorted "${out}")
  string(REGEX MATCHALL "\tA" a_scores "${distorted}")
  list(LENGTH a_scores a_count)  # of 120 scores, about 85% A
  if(a_count LESS 85 OR a_count GREATER 114)
    message(FATAL_ERROR "${type}: ${a_count} of 120 distorted scores are A")
  endif()
endforeach()

# A heterozygous score in an inbred line would come from a line not yet fixed.
foreach(type RIL RILsib)
  simulate(out --population ${type} --chromosomes 2 --markers 400 --individuals 60 --length 300
               --error-rate 0 --missing-rate 0 --seed 4)
  if(out MATCHES "\tH")
    message(FATAL_ERROR "${type}: a heterozygous score")
  endif()
endforeach()

# Dominant scoring is F2's alone: other types default to none, accept an
# explicit zero and refuse anything else.
simulate(none --population DH --markers 20 --chromosomes 2 --individuals 10)
simulate(zero --population DH --markers 20 --chromosomes 2 --individuals 10 --dominant-share 0)
if(NOT none STREQUAL zero OR none MATCHES "\t[CD]")
  message(FATAL_ERROR "DH: dominant scores by default")
endif()

foreach(bad "--population;ril" "--population;" "--population;F3" "--population"
            "--population;BC1;--dominant-share;0.1" "--population=RILsib;--dominant-share=1")
  execute_process(COMMAND ${F2SIM} ${bad} OUTPUT_VARIABLE out ERROR_VARIABLE err
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 2 OR NOT out STREQUAL "" OR err STREQUAL "")
    message(FATAL_ERROR "'${bad}' gave status ${status}, output '${out}'")
  endif()
endforeach()
