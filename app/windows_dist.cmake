# Writes the installer and the zip from the built executable (cmake -P, run by app/windows.cmake):
# the same files in both, each with the time EPOCH, so that two builds of one commit give the same bytes.
file(REMOVE_RECURSE ${DIST})
set(files ${DIST}/files)
file(MAKE_DIRECTORY ${files})
file(COPY_FILE ${EXE} ${files}/korvani.exe)
file(COPY_FILE ${SOURCE}/README.md ${files}/README.md)
file(COPY_FILE ${SOURCE}/LICENSE ${files}/LICENSE.txt)
# FLTK's licence (the LGPL with FLTK's exceptions, which allow static linking) asks a program shipped
# with FLTK in it to say so and where FLTK's source is.
file(READ ${FLTK_COPYING} fltk_copying)
file(WRITE ${files}/FLTK-LICENSE.txt
"korvani.exe is statically linked with FLTK ${FLTK_VERSION}, the Fast Light Toolkit, unmodified.
Its source: https://www.fltk.org/software.php (fltk-${FLTK_VERSION}-source.tar.gz), or the tag release-${FLTK_VERSION} of
https://github.com/fltk/fltk. FLTK's licence follows.

${fltk_copying}")
set(names korvani.exe README.md LICENSE.txt FLTK-LICENSE.txt)
# The catalogs, where the game looks for them beside itself: share/locale/LANG/LC_MESSAGES/korvani.mo.
file(GLOB catalogs RELATIVE ${LOCALE} ${LOCALE}/*/LC_MESSAGES/korvani.mo)
foreach(catalog ${catalogs})
  get_filename_component(folder ${files}/share/locale/${catalog} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
  file(COPY_FILE ${LOCALE}/${catalog} ${files}/share/locale/${catalog})
  list(APPEND names share/locale/${catalog})
endforeach()
foreach(name ${names})
  execute_process(COMMAND touch --no-dereference --date=@${EPOCH} ${files}/${name} COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# The zip: the files in a fixed order, no extra fields (owners, Unix times), times in UTC.
file(REMOVE ${ZIP_FILE})
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${ZIP} -X -D -q -9 ${ZIP_FILE} ${names}
  WORKING_DIRECTORY ${files} COMMAND_ERROR_IS_FATAL ANY)

set(size 0)
foreach(name ${names})
  file(SIZE ${files}/${name} bytes)
  math(EXPR size "${size} + ${bytes}")
endforeach()
math(EXPR size_kb "(${size} + 1023) / 1024")
file(REMOVE ${SETUP_FILE})
execute_process(COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${EPOCH} TZ=UTC
    ${MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${VERSION} -DFILES=${files} -DICON=${ICO} -DSIZE_KB=${size_kb}
    -DOUTFILE=${SETUP_FILE} ${SOURCE}/app/korvani.nsi
  COMMAND_ERROR_IS_FATAL ANY)
