# keldarn_kml: the two conversions between KML and drawings (no Qt widgets), on the KML
# reader of kml/.
add_library(keldarn_kml STATIC
  kml_to_drawing.cpp
  kml_writer.cpp
)
target_include_directories(keldarn_kml PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(keldarn_kml
  PUBLIC keldarn_kml_reader keldarn_geodesy keldarn_survey keldarn_fileio
  PRIVATE keldarn_encoding)

# Messages for the user pass through the interface-language hook.
target_link_libraries(keldarn_kml PUBLIC keldarn_i18n)
