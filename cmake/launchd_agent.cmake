# camknobd's launchd agent (packaging/launchd/org.camknob.camknobd.plist.in)
# made with the path camknobd is installed at. The install runs it (see
# install.cmake) once the prefix is known, since CPack and Homebrew install
# under prefixes of their own; the tests run it as a script:
#
#   cmake -DPREFIX=/usr/local -DBINDIR=bin -DOUTPUT=FILE -P cmake/launchd_agent.cmake
#
# BINDIR is CMAKE_INSTALL_BINDIR: under PREFIX, or absolute.

set(CAMKNOB_LAUNCHD_TEMPLATE
    "${CMAKE_CURRENT_LIST_DIR}/../packaging/launchd/org.camknob.camknobd.plist.in")

function(camknob_make_launchd_agent prefix bindir output)
  if(IS_ABSOLUTE "${bindir}")
    set(program "${bindir}/camknobd")
  else()
    set(program "${prefix}/${bindir}/camknobd")
  endif()
  cmake_path(NORMAL_PATH program)
  # The path as one word of /bin/sh, whatever it holds: single quotes, a
  # quote in it closed, escaped and opened again.
  string(REPLACE "'" "'\\''" quoted "${program}")
  set(quoted "'${quoted}'")
  # Then as the text of a property list's <string>.
  string(REPLACE "&" "&amp;" quoted "${quoted}")
  string(REPLACE "<" "&lt;" quoted "${quoted}")
  string(REPLACE ">" "&gt;" quoted "${quoted}")
  set(CAMKNOBD_QUOTED "${quoted}")
  configure_file("${CAMKNOB_LAUNCHD_TEMPLATE}" "${output}" @ONLY)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  foreach(variable PREFIX BINDIR OUTPUT)
    if(NOT DEFINED ${variable})
      message(FATAL_ERROR "launchd_agent.cmake: -D${variable}= is needed")
    endif()
  endforeach()
  camknob_make_launchd_agent("${PREFIX}" "${BINDIR}" "${OUTPUT}")
endif()
