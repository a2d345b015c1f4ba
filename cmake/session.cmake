# The session's sources, headless: the game flow, the application state and the rating file (its read
# and save once in rating_file.cpp, its storage one file per platform). The main build makes the
# korvani_session library of them; the fuzz build, a project of its own for clang, makes its own of the
# same list.
set(KORVANI_SESSION_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/../app/flow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../app/state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../app/rating_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../app/rating_file.cpp)
# The player's language (support/i18n.h), which the session's messages already speak, one file per platform;
# the catalogs' reader for Windows, which the tests read on Linux too.
list(APPEND KORVANI_SESSION_SOURCES ${CMAKE_CURRENT_LIST_DIR}/../support/catalog.cpp)
if(WIN32)
  list(APPEND KORVANI_SESSION_SOURCES ${CMAKE_CURRENT_LIST_DIR}/../app/rating_store_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../support/i18n_win.cpp)
else()
  list(APPEND KORVANI_SESSION_SOURCES ${CMAKE_CURRENT_LIST_DIR}/../app/rating_store_posix.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../support/i18n_posix.cpp)
  # Where the catalogs are when the executable's own share/locale is not there.
  include(GNUInstallDirs)
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/../support/i18n_posix.cpp PROPERTIES
    COMPILE_DEFINITIONS KORVANI_LOCALEDIR="${CMAKE_INSTALL_FULL_LOCALEDIR}")
endif()
