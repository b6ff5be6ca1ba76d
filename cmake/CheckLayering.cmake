# Checks that no file under SOURCE_DIR (src/) includes a header from a folder
# that its layer does not depend on, as the layers of src/CMakeLists.txt
# state it in LAYERING (the file unionbound_write_layering makes). Run as
#   cmake -DSOURCE_DIR=<src> -DLAYERING=<file> [-DPUBLIC_DIR=<include>] -P CheckLayering.cmake
# Fails with the list of offending includes; a folder that no layer's
# sources lie in is an offence too, so that a new folder gets its layer
# first. Every folder may include the public API ("unionbound/…"), which
# itself (PUBLIC_DIR) may include nothing else of ours.

cmake_minimum_required(VERSION 3.25)

if(NOT EXISTS "${LAYERING}")
  message(FATAL_ERROR "LAYERING=${LAYERING} does not exist")
endif()
include("${LAYERING}")

get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)
if(NOT IS_DIRECTORY "${SOURCE_DIR}")
  message(FATAL_ERROR "SOURCE_DIR=${SOURCE_DIR} is not a folder")
endif()
file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.hpp" "${SOURCE_DIR}/*.cpp")
set(offences)
foreach(file IN LISTS files)
  string(REGEX MATCH "^[^/]+" folder "${file}")
  if(NOT folder IN_LIST layering_folders)
    list(APPEND offences "${file}: the folder ${folder} has no place in the layering")
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
    if(NOT header MATCHES "/")
      continue()  # a header beside the file
    endif()
    string(REGEX MATCH "^[^/]+" target "${header}")
    if(target STREQUAL folder OR target STREQUAL "unionbound" OR
       target IN_LIST layering_allowed_${folder})
      continue()
    endif()
    list(APPEND offences "${file} includes \"${header}\": ${folder}/ may not depend on ${target}/")
  endforeach()
endforeach()
if(PUBLIC_DIR)
  file(GLOB_RECURSE public RELATIVE "${PUBLIC_DIR}" "${PUBLIC_DIR}/*.hpp")
  foreach(file IN LISTS public)
    file(STRINGS "${PUBLIC_DIR}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
      if(NOT header MATCHES "^unionbound/")
        list(APPEND offences "${file} includes \"${header}\": the public API includes only itself")
      endif()
    endforeach()
  endforeach()
endif()
list(LENGTH files checked)
if(offences)
  list(JOIN offences "\n  " text)
  message(FATAL_ERROR "Includes against the layering:\n  ${text}")
endif()
if(checked EQUAL 0)
  message(FATAL_ERROR "No source files under ${SOURCE_DIR}")
endif()
message(STATUS "${checked} files follow the layering")
