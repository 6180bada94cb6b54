# keldarn_kml: KML reader and writer, KML ⇄ drawing conversions (no Qt widgets).
find_package(EXPAT REQUIRED)
# Through pkg-config: the CMake package of Debian's libzip-dev also names the zip
# tools (zipcmp, ...), which are in another package, and fails without them.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET GLOBAL libzip)

add_library(keldarn_kml STATIC
  kml_decoder.cpp
  kml_input.cpp
  kml_parser.cpp
  kml_to_drawing.cpp
  kml_writer.cpp
)
target_include_directories(keldarn_kml PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(keldarn_kml
  PUBLIC keldarn_geodesy keldarn_fileio
  PRIVATE keldarn_encoding EXPAT::EXPAT PkgConfig::LIBZIP)
