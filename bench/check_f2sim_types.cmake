# Checks of the simulator's population types, switched markers and truth
# table, run by ctest: each type writes only the classes it has, inbred lines
# are fixed, a dominant share is refused where it has no meaning, switched
# markers differ from an unswitched run in the exchange of A and B alone, the
# truth table lists every regular marker in map order, and bad values of the
# new options fail with status 2.
# Usage: cmake -DF2SIM=<path of f2sim> -DWORK_DIR=<scratch folder> -P check_f2sim_types.cmake

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
  string(REGEX REPLACE "^name = [^\n]*\npopt = [^\n]*\nnloc = [^\n]*\nnind = [^\n]*\n" ""
         body "${text}")
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

# Switching: the same run without and with --population F2 --switched 0 gives
# the same bytes; with switched runs, exactly the markers the truth table marks
# switched read with A and B, and C and D, exchanged, and every other line is
# unchanged.
set(truth "${WORK_DIR}/f2sim_types_truth.tsv")
file(REMOVE "${truth}")
set(common --chromosomes 3 --markers 30 --individuals 20 --dominant-share 0.3 --distorted 2
           --missing-heavy 2 --seed 5)
simulate(plain ${common})
simulate(zero --population F2 ${common} --switched 0 --switched-run 3)
if(NOT plain STREQUAL zero)
  message(FATAL_ERROR "--population F2 --switched 0 changed the output")
endif()
simulate(switched ${common} --switched 4 --switched-run 2 --truth "${truth}")
file(STRINGS "${truth}" rows)
list(POP_FRONT rows header)
if(NOT header STREQUAL "marker\tchromosome\tposition\tswitched\tdominant")
  message(FATAL_ERROR "truth table header: ${header}")
endif()
list(LENGTH rows count)
if(NOT count EQUAL 30)
  message(FATAL_ERROR "${count} rows in the truth table instead of 30")
endif()
set(expected_names "")
foreach(c 1 2 3)
  foreach(m 01 02 03 04 05 06 07 08 09 10)
    list(APPEND expected_names "c0${c}m00${m}")
  endforeach()
endforeach()
set(names "")
set(switched_flags "")
set(previous_chromosome 0)
foreach(row IN LISTS rows)
  if(NOT row MATCHES "^(c0([1-3])m00[0-9][0-9])\t([1-3])\t([0-9]+\\.[0-9]+)\t([01])\t([01])$")
    message(FATAL_ERROR "malformed truth row: ${row}")
  endif()
  set(name ${CMAKE_MATCH_1})
  set(position ${CMAKE_MATCH_4})
  set(is_switched ${CMAKE_MATCH_5})
  set(is_dominant ${CMAKE_MATCH_6})
  if(NOT CMAKE_MATCH_2 EQUAL CMAKE_MATCH_3)
    message(FATAL_ERROR "wrong chromosome: ${row}")
  endif()
  if(CMAKE_MATCH_3 EQUAL previous_chromosome AND position LESS previous_position)
    message(FATAL_ERROR "positions out of map order at ${row}")
  endif()
  set(previous_chromosome ${CMAKE_MATCH_3})
  set(previous_position ${position})
  list(APPEND names ${name})
  string(APPEND switched_flags ${is_switched})

  string(REGEX MATCH "\n${name}\t[^\n]*" before "${plain}")
  string(REGEX MATCH "\n${name}\t[^\n]*" after "${switched}")
  if(before STREQUAL "" OR after STREQUAL "")
    message(FATAL_ERROR "${name} is missing from the output")
  endif()
  if(is_dominant EQUAL 1 AND NOT before MATCHES "\t[CD]" OR
     is_dominant EQUAL 0 AND before MATCHES "\t[CD]")
    message(FATAL_ERROR "the dominant flag of ${name} does not match its scores")
  endif()
  if(is_switched EQUAL 1)
    foreach(pair "A;1" "B;A" "1;B" "C;1" "D;C" "1;D")
      list(GET pair 0 from)
      list(GET pair 1 to)
      string(REPLACE "\t${from}" "\t${to}" before "${before}")
    endforeach()
  endif()
  if(NOT before STREQUAL after)
    message(FATAL_ERROR "${name}: switched ${is_switched}, but the scores read ${after}")
  endif()
endforeach()
if(NOT names STREQUAL expected_names)
  message(FATAL_ERROR "the truth table does not list the regular markers in map order")
endif()
# Four runs of two, kept apart, each on one chromosome (ten markers each).
string(REGEX MATCHALL "1+" runs "${switched_flags}")
if(NOT runs STREQUAL "11;11;11;11")
  message(FATAL_ERROR "switched runs: ${switched_flags}")
endif()
foreach(boundary 10 20)
  string(SUBSTRING "${switched_flags}" ${boundary} 1 right)
  math(EXPR left_at "${boundary} - 1")
  string(SUBSTRING "${switched_flags}" ${left_at} 1 left)
  if(left AND right)
    message(FATAL_ERROR "a switched run crosses chromosomes: ${switched_flags}")
  endif()
endforeach()
# Extra markers only differ from the unswitched run where the regular ones do.
string(REGEX MATCHALL "\n(dist|miss)[^\n]*" extra_before "${plain}")
string(REGEX MATCHALL "\n(dist|miss)[^\n]*" extra_after "${switched}")
if(NOT extra_before STREQUAL extra_after)
  message(FATAL_ERROR "switching changed the extra markers")
endif()

# A switched backcross marker reads B/H.
simulate(bc1 --population BC1 --chromosomes 1 --markers 12 --individuals 30 --switched 2
             --switched-run 3 --truth "${truth}")
file(STRINGS "${truth}" rows)
list(POP_FRONT rows)
foreach(row IN LISTS rows)
  string(REGEX MATCH "^[^\t]+" name "${row}")
  if(row MATCHES "\t1\t0$")
    set(classes "BH")
  else()
    set(classes "AH")
  endif()
  if(NOT bc1 MATCHES "\n${name}(\t[${classes}-])+\n")
    message(FATAL_ERROR "BC1 marker ${name} is not scored ${classes}")
  endif()
endforeach()

foreach(bad "--switched;-1" "--switched;x" "--switched-run;0" "--switched-run;"
            "--chromosomes;2;--markers;20;--switched;7;--switched-run;2" "--truth;"
            "--markers;5;--chromosomes;1;--switched;1;--switched-run;6")
  execute_process(COMMAND ${F2SIM} ${bad} OUTPUT_VARIABLE out ERROR_VARIABLE err
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 2 OR NOT out STREQUAL "" OR err STREQUAL "")
    message(FATAL_ERROR "'${bad}' gave status ${status}, output '${out}'")
  endif()
endforeach()
# Runs that just fit are accepted.
simulate(full --chromosomes 2 --markers 20 --switched 6 --switched-run 2 --individuals 3)

# A truth table that cannot be written fails the run before any output.
execute_process(COMMAND ${F2SIM} --truth "${WORK_DIR}/no such folder/truth.tsv"
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status EQUAL 1 OR NOT out STREQUAL "" OR err STREQUAL "")
  message(FATAL_ERROR "an unwritable truth table gave status ${status}")
endif()
file(REMOVE "${truth}")
