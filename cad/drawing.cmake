# keldarn_drawing_core: the drawing model and its geometry, DXF text, reading and writing,
# the document the two drawing conversions draw into and pick from, and the terrain products
# (contours, elevation points) drawn into a model. Qt Core only (file names as QString), so
# that keldarn-cli converts without the windows.
# keldarn_drawing: the drawing window, its canvas and picking, and the host that opens it.

# dxflib (Debian libdxflib-dev) ships no CMake package; its headers are taken as system
# headers, so that their warnings stay out of our -Wall -Wextra build.
find_library(KELDARN_DXFLIB_LIBRARY NAMES dxflib REQUIRED)
find_path(KELDARN_DXFLIB_INCLUDE_DIR dxflib/dl_dxf.h REQUIRED)
if(NOT TARGET Dxflib::Dxflib)
  add_library(Dxflib::Dxflib UNKNOWN IMPORTED)
  set_target_properties(Dxflib::Dxflib PROPERTIES IMPORTED_LOCATION "${KELDARN_DXFLIB_LIBRARY}")
  target_include_directories(Dxflib::Dxflib SYSTEM INTERFACE "${KELDARN_DXFLIB_INCLUDE_DIR}")
endif()

add_library(keldarn_drawing_core STATIC
  drawing_utf8.cpp
  drawing_model.cpp
  drawing_geometry.cpp
  drawing_document.cpp
  dxf_text.cpp
  dxf_reader.cpp
  dxf_writer.cpp
  terrain_drawing.cpp
)
target_include_directories(keldarn_drawing_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(keldarn_drawing_core
  PUBLIC Qt6::Core keldarn_encoding
  PRIVATE Dxflib::Dxflib keldarn_fileio)

add_library(keldarn_drawing STATIC
  drawing_view.cpp
  drawing_render.cpp
  drawing_pick.cpp
  drawing_canvas.cpp
  drawing_window.cpp
  drawing_host.cpp
)
target_include_directories(keldarn_drawing PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(keldarn_drawing PUBLIC Qt6::Widgets keldarn_drawing_core)

# Messages for the user pass through the interface-language hook.
target_link_libraries(keldarn_drawing_core PUBLIC keldarn_i18n)

# Messages for the user pass through the interface-language hook.
target_link_libraries(keldarn_drawing PUBLIC keldarn_i18n)
