# The Windows build's tests, run by ctest under Wine (the toolchain's emulator, tests/with-wine) in the
# Wine prefix and on the display scripts/windows makes: the core's headless tests and the rating file's. GoogleTest is built from Debian's source of it by the same cross compiler.
set(KORVANI_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source tree (Debian: googletest)")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KORVANI_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_executable(core_tests ${KORVANI_CORE_TEST_SOURCES})
target_link_libraries(core_tests PRIVATE korvani_core gtest gtest_main)

# The rating file's storage on Windows, in a folder named in Cyrillic: held files, attributes, the lock
# between two copies and the faults of the replace and of the write in place. No display needed.
add_executable(rating_file_win_tests app/rating_promise_test.cpp app/rating_file_win_test.cpp)
target_link_libraries(rating_file_win_tests PRIVATE korvani_session gtest gtest_main)

# The trace's bytes are compared with its colours on.
add_test(NAME win.core COMMAND core_tests --gtest_brief=1)
set_tests_properties(win.core PROPERTIES ENVIRONMENT "CLICOLOR_FORCE=1;NO_COLOR=")
add_test(NAME win.rating COMMAND rating_file_win_tests --gtest_brief=1)
