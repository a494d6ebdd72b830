# SPDX-License-Identifier: AGPL-3.0-or-later
# Lays out BUNDLE (Lumafold.app) from the built programs, the Qt plugins they load and every
# shared library those need that a desktop does not already have, then packs it into ZIP. The
# programs find the libraries through their run path $ORIGIN/../lib.
#
# cmake -DBUNDLE=... -DZIP=... -DPROGRAMS=a;b -DPLUGINS=type/path;... -DINFO_PLIST=... -DQT_CONF=...
#       -DBASE_LIBRARIES=... -DOBJDUMP=... -DSTRIP=... [-DSIGN_TOOL=... -DSIGNING_KEY=...] -P MakeBundle.cmake
cmake_minimum_required(VERSION 3.25)

# The finished bundle replaces the old one only once it is complete.
set(staging "${BUNDLE}.partial")
file(REMOVE_RECURSE "${staging}")
set(contents "${staging}/Contents")
file(MAKE_DIRECTORY "${contents}/bin" "${contents}/lib" "${contents}/plugins")
file(COPY ${PROGRAMS} DESTINATION "${contents}/bin")
# The debugging information stays in the build; the programs shrink to a fraction.
foreach(program IN LISTS PROGRAMS)
    get_filename_component(name "${program}" NAME)
    execute_process(COMMAND "${STRIP}" --strip-debug "${contents}/bin/${name}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
file(COPY_FILE "${INFO_PLIST}" "${contents}/Info.plist")
file(COPY_FILE "${QT_CONF}" "${contents}/bin/qt.conf")

set(plugin_files)
foreach(plugin IN LISTS PLUGINS)
    string(REPLACE "|" ";" parts "${plugin}")
    list(GET parts 0 type)
    list(GET parts 1 file)
    file(COPY "${file}" DESTINATION "${contents}/plugins/${type}")
    list(APPEND plugin_files "${file}")
endforeach()

file(STRINGS "${BASE_LIBRARIES}" base REGEX "^[^#]")
set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM "linux+elf")
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL "objdump")
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND "${OBJDUMP}")
file(GET_RUNTIME_DEPENDENCIES
    EXECUTABLES ${PROGRAMS}
    MODULES ${plugin_files}
    PRE_EXCLUDE_REGEXES ${base}
    RESOLVED_DEPENDENCIES_VAR libraries
    UNRESOLVED_DEPENDENCIES_VAR missing)
if(missing)
    message(FATAL_ERROR "Libraries not found: ${missing}")
endif()
foreach(library IN LISTS libraries)
    # Under the name the programs ask for, as a file rather than a link.
    get_filename_component(name "${library}" NAME)
    if(NOT EXISTS "${contents}/lib/${name}")
        file(REAL_PATH "${library}" real)
        file(COPY_FILE "${real}" "${contents}/lib/${name}")
    endif()
endforeach()

# Signed last: the signature covers every other file.
if(SIGNING_KEY)
    execute_process(COMMAND "${SIGN_TOOL}" "${staging}" "${SIGNING_KEY}" COMMAND_ERROR_IS_FATAL ANY)
endif()

file(REMOVE_RECURSE "${BUNDLE}")
file(RENAME "${staging}" "${BUNDLE}")

get_filename_component(parent "${BUNDLE}" DIRECTORY)
get_filename_component(name "${BUNDLE}" NAME)
file(REMOVE "${ZIP}.partial")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${ZIP}.partial" --format=zip "${name}"
                WORKING_DIRECTORY "${parent}" COMMAND_ERROR_IS_FATAL ANY)
file(RENAME "${ZIP}.partial" "${ZIP}")
