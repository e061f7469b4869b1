# Lints every manual page in MAN_DIR: mandoc's warnings, groff's warnings as
# man(1) formats the page at 80 columns, and any line that still comes out
# wider than 80 columns (groff does not warn about those in examples).
# MANDOC and MAN are the programs; when either is missing the check says so
# and the test counts as skipped.
if(NOT MANDOC OR NOT MAN)
  message("man pages not checked: mandoc or man not found (Debian: mandoc groff-base man-db)")
  return()
endif()

file(GLOB pages "${MAN_DIR}/*.[1-8]")
if(NOT pages)
  message(FATAL_ERROR "no manual page in ${MAN_DIR}")
endif()

# man(1) as a reader runs it, whatever the locale of the test run.
set(man_run ${CMAKE_COMMAND} -E env MANWIDTH=80 LC_ALL=C.UTF-8 MANPAGER=cat PAGER=cat ${MAN})
string(REPEAT "[^\n]" 81 too_wide)
set(faults "")

foreach(page IN LISTS pages)
  get_filename_component(name "${page}" NAME)

  execute_process(COMMAND ${MANDOC} -T lint -W warning "${page}"
    RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE said)
  if(NOT status EQUAL 0 OR NOT said STREQUAL "")
    string(APPEND faults "${name}: mandoc -T lint -W warning (status ${status}):\n${said}\n")
  endif()

  execute_process(COMMAND ${man_run} --warnings -l -E UTF-8 "${page}"
    RESULT_VARIABLE status OUTPUT_FILE /dev/null ERROR_VARIABLE said)
  if(NOT status EQUAL 0 OR NOT said STREQUAL "")
    string(APPEND faults "${name}: man --warnings (status ${status}):\n${said}\n")
  endif()

  execute_process(COMMAND ${man_run} -l -E ascii "${page}"
    RESULT_VARIABLE status OUTPUT_VARIABLE shown ERROR_QUIET)
  string(REGEX MATCH "${too_wide}[^\n]*" wide "${shown}")
  if(NOT status EQUAL 0 OR shown STREQUAL "")
    string(APPEND faults "${name}: man -l -E ascii failed (status ${status})\n")
  elseif(wide)
    string(APPEND faults "${name}: a line wider than 80 columns:\n${wide}\n")
  endif()
endforeach()

if(faults)
  message(FATAL_ERROR "${faults}")
endif()
list(LENGTH pages count)
message("${count} manual pages clean")
