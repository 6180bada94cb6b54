#pragma once

// KML into a drawing: a .kml or .kmz file drawn into a drawing's model space on the survey
// frame (see cad::DrawKmlFile for what becomes a point, a text and a polyline), with what the
// user is told about it.

#include "cad/acad_automation.h"
#include "cad/kml_to_drawing.h"
#include "kml/kml_input.h"
#include "survey/survey_frame.h"

#include <filesystem>
#include <string>

namespace keldarn::ops {

struct KmlToDrawingRequest {
    std::filesystem::path kmlFile;
    survey::SurveyFrame frame;  // the height correction is not used
    double textHeight = 0.0;    // of the placemarks' names, drawing units
    kml::KmlReadLimits limits;
};

struct KmlToDrawingResult {
    cad::KmlDrawSummary summary;

    // Whether anything was drawn; a file with nothing to draw is no success.
    bool Drawn() const { return summary.points + summary.polylines > 0; }
    // For a file with nothing drawn, what it held instead ("KML文件中没有可绘制的点或线…"),
    // in the interface language; empty when something was drawn.
    std::string NothingDrawn() const;
    // The NetworkLinks to addresses outside the file that were not followed, in the
    // interface language; empty when there were none.
    std::string LinksNotFollowed() const;
};

// Throws kml::KmlError naming the file and the line, or the cad::AcadError of a rejected
// drawing call; what was drawn before stays drawn.
KmlToDrawingResult DrawKmlIntoDrawing(const KmlToDrawingRequest& request, cad::IAcadModelSpace& modelSpace);

}  // namespace keldarn::ops
