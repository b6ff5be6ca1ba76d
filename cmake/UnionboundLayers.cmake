# One static library per layer of src/, each linking only the layers below
# it: the layers' DEPENDS lists in src/CMakeLists.txt are the one statement
# of the layering, which the layering check reads from the file that
# unionbound_write_layering makes of them.
#
#   unionbound_add_layer(NAME [METHOD] SOURCES file... [DEPENDS layer...]
#                        [PRIVATE_LINKS target...])
#
# makes the target unionbound_NAME with the alias unionbound::NAME; METHOD
# adds it to the global property unionbound_methods, the layers of the
# methods, which the engine's layer depends on. Every
# layer's include directories are src/ ("#include "numeric/types.hpp"") and
# include/, the public API ("#include "unionbound/engine.hpp""). The layers
# are not installed: the shared library of src/CMakeLists.txt holds them. The
# project's warnings and floating-point settings are build-only.
#
#   unionbound_write_layering(FILE)
#
# writes, for cmake/CheckLayering.cmake, the folders of the layers' sources
# and, for each folder, the folders it may include from: those of the layers
# its layer depends on, directly or through others.
#
#   unionbound_add_layer_copies(SUFFIX LAYERS layer... COMPILE_OPTIONS flag...)
#
# builds the listed layers and every layer below them again as
# unionbound_NAME_SUFFIX, compiled with the extra flags (the fuzz targets'
# coverage instrumentation), from the same sources.

include_guard(GLOBAL)

function(unionbound_add_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 layer "METHOD" "" "SOURCES;DEPENDS;PRIVATE_LINKS")
  if(layer_METHOD)
    set_property(GLOBAL APPEND PROPERTY unionbound_methods ${name})
  endif()
  set(target unionbound_${name})
  add_library(${target} ${layer_SOURCES})
  add_library(unionbound::${name} ALIAS ${target})
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src>
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>)
  set(public_links)
  foreach(dependency IN LISTS layer_DEPENDS)
    list(APPEND public_links unionbound_${dependency})
  endforeach()
  target_link_libraries(${target}
    PUBLIC ${public_links}
    PRIVATE $<BUILD_INTERFACE:unionbound_settings> ${layer_PRIVATE_LINKS})
  # Kept for unionbound_add_layer_copies.
  list(TRANSFORM layer_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
  set_property(GLOBAL PROPERTY unionbound_layer_${name}_sources ${layer_SOURCES})
  set_property(GLOBAL PROPERTY unionbound_layer_${name}_depends ${layer_DEPENDS})
  set_property(GLOBAL PROPERTY unionbound_layer_${name}_private_links ${layer_PRIVATE_LINKS})
  set_property(GLOBAL APPEND PROPERTY unionbound_layers ${name})
endfunction()

function(unionbound_add_layer_copies)
  cmake_parse_arguments(PARSE_ARGV 0 copy "" "SUFFIX" "LAYERS;COMPILE_OPTIONS")
  # The listed layers and everything below them.
  set(needed)
  set(pending ${copy_LAYERS})
  while(pending)
    list(POP_FRONT pending name)
    if(NOT name IN_LIST needed)
      list(APPEND needed ${name})
      get_property(depends GLOBAL PROPERTY unionbound_layer_${name}_depends)
      list(APPEND pending ${depends})
    endif()
  endwhile()
  foreach(name IN LISTS needed)
    set(target unionbound_${name}_${copy_SUFFIX})
    get_property(sources GLOBAL PROPERTY unionbound_layer_${name}_sources)
    get_property(depends GLOBAL PROPERTY unionbound_layer_${name}_depends)
    get_property(private_links GLOBAL PROPERTY unionbound_layer_${name}_private_links)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src
                                                ${PROJECT_SOURCE_DIR}/include)
    list(TRANSFORM depends APPEND _${copy_SUFFIX})
    list(TRANSFORM depends PREPEND unionbound_)
    target_link_libraries(${target} PUBLIC ${depends} PRIVATE unionbound_settings ${private_links})
    target_compile_options(${target} PRIVATE ${copy_COMPILE_OPTIONS})
    get_target_property(definitions unionbound_${name} COMPILE_DEFINITIONS)
    if(definitions)
      target_compile_definitions(${target} PRIVATE ${definitions})
    endif()
  endforeach()
endfunction()

# The layers a layer depends on, directly or through others.
function(unionbound_layers_below name out)
  set(below)
  get_property(pending GLOBAL PROPERTY unionbound_layer_${name}_depends)
  while(pending)
    list(POP_FRONT pending next)
    if(NOT next IN_LIST below)
      list(APPEND below ${next})
      get_property(depends GLOBAL PROPERTY unionbound_layer_${next}_depends)
      list(APPEND pending ${depends})
    endif()
  endwhile()
  set(${out} ${below} PARENT_SCOPE)
endfunction()

# The folders under src/ that a layer's sources lie in.
function(unionbound_layer_folders name out)
  set(folders)
  get_property(sources GLOBAL PROPERTY unionbound_layer_${name}_sources)
  foreach(source IN LISTS sources)
    file(RELATIVE_PATH relative "${PROJECT_SOURCE_DIR}/src" "${source}")
    string(REGEX MATCH "^[^/]+" folder "${relative}")
    list(APPEND folders ${folder})
  endforeach()
  list(REMOVE_DUPLICATES folders)
  set(${out} ${folders} PARENT_SCOPE)
endfunction()

function(unionbound_write_layering file)
  get_property(layers GLOBAL PROPERTY unionbound_layers)
  set(text "# Made by unionbound_write_layering from the layers of src/CMakeLists.txt.\n")
  set(all_folders)
  foreach(name IN LISTS layers)
    unionbound_layer_folders(${name} folders)
    unionbound_layers_below(${name} below)
    set(allowed)
    foreach(lower IN LISTS below)
      unionbound_layer_folders(${lower} lower_folders)
      list(APPEND allowed ${lower_folders})
    endforeach()
    # The folders of one layer may include each other.
    list(APPEND allowed ${folders})
    foreach(folder IN LISTS folders)
      list(APPEND all_folders ${folder})
      string(APPEND text "set(layering_allowed_${folder} ${allowed})\n")
    endforeach()
  endforeach()
  string(APPEND text "set(layering_folders ${all_folders})\n")
  file(WRITE "${file}" "${text}")
endfunction()
