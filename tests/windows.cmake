# The Windows build's tests, run by ctest: the core's headless tests and the rating file's under Wine
# (the toolchain's emulator, tests/with-wine), then what a Windows user does with the downloads
# (tests/windows/scenario), all in one Wine session that ctest starts before them and ends after them
# (tests/windows/wine-session): a virtual X server and a Wine prefix in the build folder. GoogleTest is
# built from Debian's source of it by the same cross compiler.
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

# The users' languages of the Wine session: Russian, and English for the zip's game, as locales made here
# from the locales package's sources.
set(wine_locales ${CMAKE_BINARY_DIR}/locales)
foreach(locale ru_RU en_US)
  add_custom_command(OUTPUT ${wine_locales}/${locale}.UTF-8/LC_CTYPE
    COMMAND ${CMAKE_COMMAND} -E make_directory ${wine_locales}
    COMMAND localedef -i ${locale} -f UTF-8 ${wine_locales}/${locale}.UTF-8
    COMMENT "Making the locale ${locale}.UTF-8 for the Wine session")
  list(APPEND wine_locale_files ${wine_locales}/${locale}.UTF-8/LC_CTYPE)
endforeach()
add_custom_target(wine_locales ALL DEPENDS ${wine_locale_files})

set(wine_session ${CMAKE_BINARY_DIR}/wine-session)
set(session_script ${CMAKE_CURRENT_SOURCE_DIR}/windows/wine-session)
add_test(NAME win.session.start COMMAND ${session_script} start ${wine_session})
add_test(NAME win.session.stop COMMAND ${session_script} stop ${wine_session})
set_tests_properties(win.session.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 400
  ENVIRONMENT "KORVANI_WINE_LOCALES=${wine_locales}")
set_tests_properties(win.session.stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 200)

# The trace's bytes are compared with its colours on.
add_test(NAME win.core COMMAND core_tests --gtest_brief=1)
add_test(NAME win.rating COMMAND rating_file_win_tests --gtest_brief=1)
set_tests_properties(win.core PROPERTIES ENVIRONMENT "CLICOLOR_FORCE=1;NO_COLOR=;KORVANI_WINE=${wine_session}")
set_tests_properties(win.rating PROPERTIES ENVIRONMENT "KORVANI_WINE=${wine_session}")
set(wine_tests win.core win.rating)

# The scenario's steps. Those without Wine need no session; the installed game's steps need the install,
# and the uninstall ends them; the screen of 192 dpi, which changes the prefix's settings, comes last.
set(scenario ${CMAKE_CURRENT_SOURCE_DIR}/windows/scenario)
foreach(step exe reproducible tools install play two-copies uninstall zip dpi192)
  add_test(NAME win.${step} COMMAND ${scenario} ${step} ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
  set_tests_properties(win.${step} PROPERTIES TIMEOUT 900)
  if(NOT step MATCHES "^(exe|reproducible)$")
    set_tests_properties(win.${step} PROPERTIES ENVIRONMENT "KORVANI_WINE=${wine_session}")
    list(APPEND wine_tests win.${step})
  endif()
endforeach()
set_tests_properties(win.reproducible PROPERTIES TIMEOUT 1800)
set_tests_properties(${wine_tests} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wine)
set_tests_properties(win.install PROPERTIES FIXTURES_SETUP installed)
set_tests_properties(win.play win.two-copies PROPERTIES FIXTURES_REQUIRED "wine;installed" DEPENDS win.install)
set_tests_properties(win.two-copies PROPERTIES DEPENDS win.play)
set_tests_properties(win.uninstall PROPERTIES FIXTURES_CLEANUP installed)
list(REMOVE_ITEM wine_tests win.dpi192)
set_tests_properties(win.dpi192 PROPERTIES DEPENDS "${wine_tests}")
