# The session's sources, headless: the game flow, the application state and the rating file (its read
# and save once in rating_file.cpp, its storage one file per platform). The main build makes the
# korvani_session library of them; the fuzz build, a project of its own for clang, makes its own of the
# same list.
set(KORVANI_SESSION_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/../app/flow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../app/state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../app/rating_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../app/rating_file.cpp)
if(WIN32)
  list(APPEND KORVANI_SESSION_SOURCES ${CMAKE_CURRENT_LIST_DIR}/../app/rating_store_win.cpp)
else()
  list(APPEND KORVANI_SESSION_SOURCES ${CMAKE_CURRENT_LIST_DIR}/../app/rating_store_posix.cpp)
endif()
