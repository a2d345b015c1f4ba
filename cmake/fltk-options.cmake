# How the game builds FLTK 1.4.5 from its source, on Linux (scripts/fltk14) and for Windows
# (cmake/windows.cmake): optimised, only the static library, without its tests, examples, fluid,
# fltk-options, forms, OpenGL or documentation. Read by FLTK's configuration as its initial cache (cmake -C);
# each build adds only what is its own.
set(CMAKE_BUILD_TYPE Release CACHE STRING "")
foreach(part TEST EXAMPLES FLUID FLTK_OPTIONS FORMS GL SHARED_LIBS HTML_DOCS PDF_DOCS)
  set(FLTK_BUILD_${part} OFF CACHE BOOL "")
endforeach()
