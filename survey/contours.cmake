# Contour lines of a DEM inside an area, through GDAL's contour generator and OGR's clipping.
target_sources(keldarn_survey PRIVATE ${CMAKE_CURRENT_LIST_DIR}/contours.cpp)
target_link_libraries(keldarn_survey PRIVATE GDAL::GDAL)
