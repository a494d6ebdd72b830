# SPDX-License-Identifier: AGPL-3.0-or-later
# A starting corpus for fuzz_inspect, from the tests' own PDF writer.
add_executable(fuzz_make_seeds ${CMAKE_CURRENT_LIST_DIR}/make_seeds.cpp ${PROJECT_SOURCE_DIR}/tests/support/PdfFactory.cpp
                               ${PROJECT_SOURCE_DIR}/tests/support/TempDir.cpp)
target_include_directories(fuzz_make_seeds PRIVATE ${PROJECT_SOURCE_DIR}/tests)
lumafold_warnings(fuzz_make_seeds)
