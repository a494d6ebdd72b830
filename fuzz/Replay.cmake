# SPDX-License-Identifier: AGPL-3.0-or-later
# Without libFuzzer: fuzz_inspect as a plain program that replays the files it is given, with the
# compiler of the normal build. scripts/memcheck runs it on the seed corpus under valgrind, which
# sees into MuPDF where the sanitizers cannot.
add_executable(fuzz_inspect_replay ${CMAKE_CURRENT_LIST_DIR}/fuzz_inspect.cpp ${CMAKE_CURRENT_LIST_DIR}/replay_main.cpp)
target_link_libraries(fuzz_inspect_replay PRIVATE LumafoldCore)
lumafold_warnings(fuzz_inspect_replay)
include(${CMAKE_CURRENT_LIST_DIR}/Seeds.cmake)
