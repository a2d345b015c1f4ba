# The Windows executable with its icon and version resources, and what a Windows user downloads: the
# installer korvani-<version>-setup.exe and the portable korvani-<version>-windows-x86_64.zip.
# Included by app/CMakeLists.txt in a Windows build.
enable_language(RC)

# The icon at the sizes Windows draws (16 and 32 in lists and title bars, 48 on the desktop, 256 in
# large views), from the scalable icon that the desktop package ships too. 256 is kept as PNG, the
# others as bitmaps, as Windows' own icons are.
find_program(RSVG_CONVERT rsvg-convert)
find_program(ICOTOOL icotool)
if(NOT RSVG_CONVERT OR NOT ICOTOOL)
  message(FATAL_ERROR "rsvg-convert or icotool not found: install the Debian packages librsvg2-bin and icoutils")
endif()
set(KORVANI_ICO ${CMAKE_CURRENT_BINARY_DIR}/korvani.ico)
set(ico_pngs)
set(ico_args)
foreach(size 16 32 48 256)
  set(png ${CMAKE_CURRENT_BINARY_DIR}/ico/${size}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/ico
    COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${CMAKE_CURRENT_SOURCE_DIR}/korvani.svg
    DEPENDS korvani.svg)
  list(APPEND ico_pngs ${png})
  if(size EQUAL 256)
    list(APPEND ico_args --raw=${png})
  else()
    list(APPEND ico_args ${png})
  endif()
endforeach()
add_custom_command(OUTPUT ${KORVANI_ICO}
  COMMAND ${ICOTOOL} --create --output=${KORVANI_ICO} ${ico_args}
  DEPENDS ${ico_pngs}
  COMMENT "Writing the icon korvani.ico")
add_custom_target(korvani_ico DEPENDS ${KORVANI_ICO})

set(KORVANI_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/korvani.manifest)
configure_file(korvani.manifest.in ${KORVANI_MANIFEST} @ONLY)
configure_file(korvani.rc.in ${CMAKE_CURRENT_BINARY_DIR}/korvani.rc @ONLY)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/korvani.rc PROPERTIES
  OBJECT_DEPENDS "${KORVANI_ICO};${KORVANI_MANIFEST}")

# The game: the GUI subsystem (WIN32), so no console window opens beside it.
add_executable(korvani WIN32 main.cpp ${CMAKE_CURRENT_BINARY_DIR}/korvani.rc)
target_link_libraries(korvani PRIVATE korvani_ui)
add_dependencies(korvani korvani_ico)

# The downloads. Their files get one fixed time, that of the commit (SOURCE_DATE_EPOCH when given), so
# that two builds of one commit give the same bytes.
find_program(MAKENSIS makensis)
find_program(ZIP zip)
if(NOT MAKENSIS OR NOT ZIP)
  message(FATAL_ERROR "makensis or zip not found: install the Debian packages nsis and zip")
endif()
set(KORVANI_SOURCE_DATE_EPOCH "" CACHE STRING "The time stamped on the files of the downloads (default: the commit's)")
if(NOT KORVANI_SOURCE_DATE_EPOCH)
  execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/source-date-epoch
    OUTPUT_VARIABLE KORVANI_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "scripts/source-date-epoch found no time for the downloads' files")
  endif()
endif()

set(dist ${CMAKE_BINARY_DIR}/dist)
set(KORVANI_ZIP ${CMAKE_BINARY_DIR}/korvani-${PROJECT_VERSION}-windows-x86_64.zip)
set(KORVANI_SETUP ${CMAKE_BINARY_DIR}/korvani-${PROJECT_VERSION}-setup.exe)
add_custom_command(OUTPUT ${KORVANI_ZIP} ${KORVANI_SETUP}
  COMMAND ${CMAKE_COMMAND}
    -DEXE=$<TARGET_FILE:korvani> -DSOURCE=${CMAKE_SOURCE_DIR} -DFLTK_COPYING=${fltk_tree}/COPYING -DFLTK_VERSION=${fltk_version}
    -DICO=${KORVANI_ICO} -DLOCALE=${CMAKE_BINARY_DIR}/share/locale -DDIST=${dist} -DZIP_FILE=${KORVANI_ZIP} -DSETUP_FILE=${KORVANI_SETUP}
    -DVERSION=${PROJECT_VERSION} -DEPOCH=${KORVANI_SOURCE_DATE_EPOCH} -DZIP=${ZIP} -DMAKENSIS=${MAKENSIS}
    -P ${CMAKE_CURRENT_SOURCE_DIR}/windows_dist.cmake
  DEPENDS korvani korvani_catalogs ${KORVANI_ICO} windows_dist.cmake korvani.nsi ${CMAKE_SOURCE_DIR}/README.md
    ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/doc/windows.md
  COMMENT "Writing the installer and the zip")
add_custom_target(korvani_dist ALL DEPENDS ${KORVANI_ZIP} ${KORVANI_SETUP})
