#pragma once

// Drawing a KML file into the model space of the drawing window: every coordinate
// element or track with one vertex becomes a point, with a text of its placemark's name
// at the same position when the placemark has a name; one with more vertices becomes an
// open lightweight polyline (a polygon ring keeps its repeated first vertex; each ring
// is a polyline of its own). Vertices are projected on the zone's projection as the user
// has set it up and carried into the user's grid: drawing x = easting Y′, y = northing X′,
// metres.
//
// A .kmz is read with the KML entries of the same archive that its NetworkLinks name,
// each where its link stands (GDAL and other exporters put the layers in such entries);
// links to anything else are counted, not followed (see ScanKmlFile).

#include "cad/acad_automation.h"
#include "geodesy/four_param.h"
#include "kml/kml_error.h"
#include "kml/kml_input.h"
#include "survey/survey_frame.h"

#include <cstddef>
#include <filesystem>
#include <string>

namespace keldarn::cad {

struct KmlDrawSummary {
    std::size_t points = 0;  // each with its text when its placemark has a name
    std::size_t polylines = 0;
    std::size_t tracks = 0;  // gx:Tracks drawn, among the points and polylines
    // NetworkLinks not followed (see ScanKmlFile), and the address of the first,
    // shortened to about 200 bytes for a message.
    std::size_t outsideLinks = 0;
    std::string firstOutsideLink;
    // In every document read, drawn or not.
    std::size_t placemarks = 0;
    std::size_t models = 0;
    std::size_t overlays = 0;
};

// Draws the .kml or .kmz file at `path` (see ScanKmlFile and ScanKml for what is read).
// frame: the survey frame the WGS84 points are carried into the user's grid with (its
// height correction is not used). textHeight: height of the name texts, drawing units. limits: what a .kmz's
// entries may inflate to. Throws KmlError with a message naming the file and line, or the AcadError of a
// rejected drawing call; what was drawn before stays drawn.
KmlDrawSummary DrawKmlFile(const std::filesystem::path& path, const survey::SurveyFrame& frame,
                           double textHeight, IAcadModelSpace& modelSpace,
                           const kml::KmlReadLimits& limits = {});
// The same on the program's default projection of the zone with L0 = centralMeridianDeg
// (degrees).
KmlDrawSummary DrawKmlFile(const std::filesystem::path& path, double centralMeridianDeg,
                           const geodesy::FourParamCoefficients& transform, double textHeight,
                           IAcadModelSpace& modelSpace, const kml::KmlReadLimits& limits = {});

}  // namespace keldarn::cad
