# The Windows build (cmake/mingw-w64-x86_64.cmake): FLTK 1.4.5 compiled from its source for this
# toolchain, and the reproducible flags. Included by the top-level CMakeLists.txt.

# Two builds of one commit give the same bytes: no folder of this machine in the objects, no link time
# in the executable's header.
set(KORVANI_REPRODUCIBLE_FLAGS
  -ffile-prefix-map=${CMAKE_SOURCE_DIR}=korvani -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
add_compile_options(${KORVANI_REPRODUCIBLE_FLAGS})
# Statically linked: no DLL beside the executables but Windows' own (the C++ and winpthreads runtimes
# of MinGW-w64 included).
add_link_options(-static -Wl,--no-insert-timestamp)

# FLTK: Debian serves no source of it, and its binary packages are built for Linux. The build takes
# FLTK's release archive or an unpacked tree by a path, checks the release and builds it once in this
# build folder.
set(KORVANI_FLTK_SOURCE "" CACHE PATH "FLTK 1.4.5's source: its release archive (.tar.gz) or an unpacked tree")
if(NOT KORVANI_FLTK_SOURCE)
  message(FATAL_ERROR "The Windows build needs FLTK 1.4.5's source: pass -DKORVANI_FLTK_SOURCE=<archive or tree> "
    "(the release from https://www.fltk.org/software.php, fltk-1.4.5-source.tar.gz)")
endif()
set(fltk_tree ${KORVANI_FLTK_SOURCE})
if(NOT IS_DIRECTORY ${KORVANI_FLTK_SOURCE})
  set(fltk_unpacked ${CMAKE_BINARY_DIR}/fltk-source)
  file(SHA256 ${KORVANI_FLTK_SOURCE} fltk_hash)
  # Unpacked again only when the archive is another one.
  if(NOT EXISTS ${fltk_unpacked}/${fltk_hash})
    file(REMOVE_RECURSE ${fltk_unpacked})
    file(ARCHIVE_EXTRACT INPUT ${KORVANI_FLTK_SOURCE} DESTINATION ${fltk_unpacked})
    file(TOUCH ${fltk_unpacked}/${fltk_hash})
  endif()
  file(GLOB fltk_tree LIST_DIRECTORIES true ${fltk_unpacked}/*/FL/Enumerations.H)
  list(LENGTH fltk_tree found)
  if(NOT found EQUAL 1)
    message(FATAL_ERROR "${KORVANI_FLTK_SOURCE} does not hold one FLTK source tree (one folder with FL/Enumerations.H)")
  endif()
  get_filename_component(fltk_tree ${fltk_tree} DIRECTORY)
  get_filename_component(fltk_tree ${fltk_tree} DIRECTORY)
endif()
set(fltk_version "")
foreach(part MAJOR MINOR PATCH)
  file(STRINGS ${fltk_tree}/FL/Enumerations.H line REGEX "^#define FL_${part}_VERSION[ \t]+[0-9]+")
  string(REGEX REPLACE ".*[ \t]([0-9]+).*" "\\1" number "${line}")
  list(APPEND fltk_version "${number}")
endforeach()
list(JOIN fltk_version . fltk_version)
# 1.4.5: the first series that follows each monitor's DPI on Windows (1.3 draws at 96 dpi and Windows
# stretches its bitmap, blurred), and the release the Windows build is tested with.
if(NOT fltk_version STREQUAL "1.4.5")
  message(FATAL_ERROR "${KORVANI_FLTK_SOURCE} is FLTK '${fltk_version}', not 1.4.5: the Windows build is built and "
    "tested with FLTK 1.4.5")
endif()

# A second build folder may take the library another one built from the same source (the test
# win.reproducible does, to check that two builds give the same bytes without compiling FLTK twice).
set(KORVANI_FLTK_BUILT "" CACHE PATH "A build folder's fltk/ folder where FLTK 1.4.5 is built already, for this toolchain")
if(KORVANI_FLTK_BUILT)
  set(fltk_build ${KORVANI_FLTK_BUILT})
else()
  set(fltk_build ${CMAKE_BINARY_DIR}/fltk)
endif()
set(fltk_library ${fltk_build}/lib/libfltk.a)
include(ExternalProject)
# Only the library, as cmake/fltk-options.cmake has it, and none of the system's image libraries. Built
# with the same toolchain and the same care for reproducible objects.
if(KORVANI_FLTK_BUILT)
  add_custom_target(fltk_from_source)
else()
ExternalProject_Add(fltk_from_source
  SOURCE_DIR ${fltk_tree}
  BINARY_DIR ${fltk_build}
  CMAKE_ARGS
    -C ${CMAKE_SOURCE_DIR}/cmake/fltk-options.cmake
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    # WIN32_LEAN_AND_MEAN: FLTK needs none of what it leaves out of windows.h, and parsing it took a
    # third of the build's time.
    "-DCMAKE_C_FLAGS=-ffile-prefix-map=${fltk_tree}=fltk-${fltk_version} -DWIN32_LEAN_AND_MEAN"
    "-DCMAKE_CXX_FLAGS=-ffile-prefix-map=${fltk_tree}=fltk-${fltk_version} -DWIN32_LEAN_AND_MEAN"
    -DFLTK_USE_SYSTEM_ZLIB=OFF -DFLTK_USE_SYSTEM_LIBJPEG=OFF -DFLTK_USE_SYSTEM_LIBPNG=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${fltk_build} --target fltk
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${fltk_library})
endif()

# The headers: the tree's own and the ones the build writes (FL/fl_config.h). An imported target's
# folders are system folders (-isystem): FLTK's warnings are not the game's.
file(MAKE_DIRECTORY ${fltk_build})
add_library(FLTK::fltk STATIC IMPORTED GLOBAL)
set_target_properties(FLTK::fltk PROPERTIES
  IMPORTED_LOCATION ${fltk_library}
  INTERFACE_INCLUDE_DIRECTORIES "${fltk_tree};${fltk_build}"
  # What FLTK's own build links on Windows; gdiplus draws its antialiased lines at scales above 1.
  INTERFACE_LINK_LIBRARIES "ole32;uuid;comctl32;ws2_32;winspool;gdiplus;gdi32;comdlg32")
add_dependencies(FLTK::fltk fltk_from_source)
