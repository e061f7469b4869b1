# Fails when a source under src/ includes a folder above its own. The folders,
# from the bottom up: records, json, text, vocabulary and system (which include
# only each other); media (the service seam; each service's folder under it
# includes the seam, its own folder and the bottom, never another service);
# discovery; commands; profile; engine; http; programs (which alone, besides
# a service itself, may include a service's folder: each names the one it
# runs over).
set(ranks records=0 json=0 text=0 vocabulary=0 system=0 media=1 discovery=2 commands=3
          profile=4 engine=5 http=6 programs=7)
function(rank_of folder out)
  set(${out} "" PARENT_SCOPE)
  foreach(entry ${ranks})
    string(REPLACE "=" ";" pair ${entry})
    list(GET pair 0 name)
    list(GET pair 1 rank)
    if(name STREQUAL folder)
      set(${out} ${rank} PARENT_SCOPE)
    endif()
  endforeach()
endfunction()

set(faults)
file(GLOB_RECURSE sources RELATIVE ${ROOT}/src ${ROOT}/src/*.h ${ROOT}/src/*.cpp)
foreach(source ${sources})
  string(REGEX MATCH "^[a-z_]+" folder ${source})
  string(REGEX MATCH "^media/([a-z0-9_]+)/" service ${source})
  set(service ${CMAKE_MATCH_1})
  rank_of(${folder} own)
  file(STRINGS ${ROOT}/src/${source} includes REGEX "^#include \"[a-z_0-9]+/")
  foreach(line ${includes})
    string(REGEX MATCH "\"([a-z_0-9]+)/([a-z_0-9]+/)?" ignored ${line})
    set(included ${CMAKE_MATCH_1})
    set(subfolder ${CMAKE_MATCH_2})
    rank_of(${included} theirs)
    if(theirs STREQUAL "")
      list(APPEND faults "${source}: ${line} (a folder of no known rank)")
    elseif(theirs GREATER own)
      list(APPEND faults "${source}: ${line} (above ${folder})")
    elseif(theirs EQUAL 0 AND own EQUAL 0)
      # The bottom folders may include each other.
    elseif(included STREQUAL "media" AND subfolder AND NOT subfolder STREQUAL "${service}/"
           AND NOT folder STREQUAL "programs")
      list(APPEND faults "${source}: ${line} (another service, or a service from outside media/)")
    endif()
  endforeach()
endforeach()
if(faults)
  list(JOIN faults "\n  " shown)
  message(FATAL_ERROR "includes against the layering:\n  ${shown}")
endif()
