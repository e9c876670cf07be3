cmake_minimum_required(VERSION 3.25)
# Reads every `#include "<folder>/..."` under SOURCE_DIR and fails when a
# file includes from a folder that its layer may not use. LAYER_TABLE sets
# ROWKEEPER_FOLDERS and, for each folder f (as f with "/" made "_"),
# rk_below_f: every folder below it. A file belongs to the deepest listed
# folder that holds it; so does an included header.
#
#   cmake -DSOURCE_DIR=src -DLAYER_TABLE=layers.cmake -P check_includes.cmake

include(${LAYER_TABLE})
get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)

# The deepest listed folder holding `path` (relative to SOURCE_DIR), or "".
function(layer_of path out)
    set(best "")
    foreach(folder IN LISTS ROWKEEPER_FOLDERS)
        string(LENGTH "${folder}" n)
        string(LENGTH "${best}" best_n)
        if(path MATCHES "^${folder}/" AND n GREATER best_n)
            set(best "${folder}")
        endif()
    endforeach()
    set(${out} "${best}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp)
set(failures 0)
foreach(file IN LISTS files)
    layer_of("${file}" own)
    if(own STREQUAL "")
        message(SEND_ERROR "src/${file}: in no folder of the layer table")
        math(EXPR failures "${failures} + 1")
        continue()
    endif()
    string(REPLACE "/" "_" own_key "${own}")
    set(allowed ${own} ${rk_below_${own_key}})
    file(STRINGS ${SOURCE_DIR}/${file} lines)
    set(number 0)
    foreach(line IN LISTS lines)
        math(EXPR number "${number} + 1")
        if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
            continue()
        endif()
        set(included "${CMAKE_MATCH_1}")
        if(NOT included MATCHES "/")
            continue()
        endif()
        layer_of("${included}" theirs)
        if(theirs STREQUAL "" OR theirs IN_LIST allowed)
            continue()
        endif()
        message(SEND_ERROR "src/${file}:${number}: layer ${own} may not include ${included} (layer ${theirs})")
        math(EXPR failures "${failures} + 1")
    endforeach()
endforeach()

list(LENGTH files count)
if(count EQUAL 0)
    message(FATAL_ERROR "no sources under ${SOURCE_DIR}")
endif()
if(failures GREATER 0)
    message(FATAL_ERROR "${failures} include(s) point up the layers")
endif()
message(STATUS "${count} files: every include points down the layers")
