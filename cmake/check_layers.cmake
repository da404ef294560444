# Which layers each layer's sources may include, by their folder under src/: the program's
# layers depend in one direction only, cli -> the modes -> engine -> format, xml, file, and a
# mode never includes another mode. Included at configure time, this checks every source once
# and adds the target pibgen_layer_check, which checks them again whenever one changes; run
# with `cmake -DPIBGEN_SOURCE_DIR=... -P` it only checks.
if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.20)
endif()
# The modes, siblings above the engine: a new mode is a folder under src/ and a name here.
set(PIBGEN_MODES convert check verify decode diff units)
string(REPLACE ";" " " modes_text "${PIBGEN_MODES}")
set(below_modes "engine format xml file")
set(pibgen_layers_allowed "format: format" "file: file" "xml: xml file" "engine: ${below_modes}")
foreach(mode ${PIBGEN_MODES})
  list(APPEND pibgen_layers_allowed "${mode}: ${mode} ${below_modes}")
endforeach()
list(APPEND pibgen_layers_allowed "cli: cli ${modes_text} ${below_modes}")

function(pibgen_check_layers source_dir)
  set(broken "")
  foreach(rule ${pibgen_layers_allowed})
    string(REGEX MATCH "^([a-z]+): (.*)$" _ "${rule}")
    set(layer ${CMAKE_MATCH_1})
    set(allowed_text "${CMAKE_MATCH_2}")
    string(REPLACE " " ";" allowed "${allowed_text}")
    file(GLOB_RECURSE sources ${source_dir}/src/${layer}/*.h ${source_dir}/src/${layer}/*.cpp)
    foreach(source ${sources})
      file(STRINGS ${source} includes REGEX "^#include \"[^\"/]+/")
      foreach(line ${includes})
        string(REGEX MATCH "^#include \"([^\"/]+)/" _ "${line}")
        if(NOT CMAKE_MATCH_1 IN_LIST allowed)
          file(RELATIVE_PATH where ${source_dir} ${source})
          string(APPEND broken "\n  ${where}: ${line} (${layer} may include: ${allowed_text})")
        endif()
      endforeach()
    endforeach()
  endforeach()
  # The installed headers stand alone: nothing of src/.
  file(GLOB_RECURSE public ${source_dir}/include/*.h)
  foreach(header ${public})
    file(STRINGS ${header} includes REGEX "^#include \"")
    foreach(line ${includes})
      file(RELATIVE_PATH where ${source_dir} ${header})
      string(APPEND broken "\n  ${where}: ${line} (an installed header includes only <...>)")
    endforeach()
  endforeach()
  if(broken)
    message(FATAL_ERROR "includes across the layers:${broken}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  pibgen_check_layers(${PIBGEN_SOURCE_DIR})
  file(TOUCH ${PIBGEN_STAMP})
else()
  pibgen_check_layers(${PROJECT_SOURCE_DIR})
  file(GLOB_RECURSE pibgen_layered_sources ${PROJECT_SOURCE_DIR}/src/*.h
       ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/include/*.h)
  set(stamp ${PROJECT_BINARY_DIR}/layers-checked.stamp)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DPIBGEN_SOURCE_DIR=${PROJECT_SOURCE_DIR} -DPIBGEN_STAMP=${stamp}
            -P ${CMAKE_CURRENT_LIST_FILE}
    DEPENDS ${pibgen_layered_sources} ${CMAKE_CURRENT_LIST_FILE}
    COMMENT "Checking that includes follow the layers" VERBATIM)
  add_custom_target(pibgen_layer_check DEPENDS ${stamp})
endif()
