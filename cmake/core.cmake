# The core's sources: the trace and fatal exits, the game model, the engine. The main build makes the
# korvani_core library of them; the fuzz build, a project of its own for clang, makes its own of the same
# list.
get_filename_component(korvani_root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(KORVANI_CORE_SOURCES
  ${korvani_root}/support/common.cpp
  ${korvani_root}/model/board.cpp
  ${korvani_root}/model/print.cpp
  ${korvani_root}/model/game.cpp
  ${korvani_root}/engine/groups.cpp
  ${korvani_root}/engine/rows64.cpp
  ${korvani_root}/engine/minimax.cpp
  ${korvani_root}/engine/client.cpp
  ${korvani_root}/engine/solve.cpp)
