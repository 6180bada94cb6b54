#pragma once

// Writing the texts and lightweight polylines picked in the drawing as a KML file that
// Google Earth and GIS programs open: texts become point placemarks named by their
// text, closed polylines polygons named "Region1", "Region2", …, open ones line strings
// named "Line1", …, the two counted separately in selection order. Every placemark and
// the document carry a LookAt framing their bounding box (range 1.5 × its diagonal)
// and share one style: a red outline 2 wide, no fill.
//
// The file is UTF-8 with CR LF line ends and no indentation. Drawing points (x easting,
// y northing, metres) go back to WGS84 through the survey frame (the reverse four-parameter
// transformation and the zone's inverse projection); Y is read as the projection's choice
// says (with the default choice a zone number in the easting's millions is dropped).

#include "cad/acad_automation.h"
#include "geodesy/four_param.h"
#include "kml/kml_error.h"
#include "survey/survey_frame.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace keldarn::cad {

struct KmlDocument {
    std::string text;
    std::size_t placemarks = 0;
    std::size_t leftOut = 0;  // entities far outside the zone, not in the text
};

// The KML text for the entities of `selection`, in its order. documentName goes into
// the document's <name>. Entities other than texts and polylines, and polylines without
// a vertex, are left out; a polyline of one vertex is written as a point. An entity
// far outside the zone, with a coordinate (point or box corner) that is not finite or
// beyond ±1e9 drawing units, or a point without geographic position (|B| > 90°), is
// left out and counted in leftOut: one such vertex leaves out the whole polyline.
// Throws KmlError when nothing can be written, and AcadError (naming the entity) when
// an entity cannot be read.
KmlDocument BuildKmlDocument(const IAcadSelectionSet& selection, const survey::SurveyFrame& frame,
                             std::string_view documentName);
// The same on the program's default projection of the zone with L0 = centralMeridianDeg
// (degrees).
KmlDocument BuildKmlDocument(const IAcadSelectionSet& selection, double centralMeridianDeg,
                             const geodesy::FourParamCoefficients& transform, std::string_view documentName);

struct KmlWriteResult {
    std::size_t written = 0;  // placemarks in the file
    std::size_t leftOut = 0;  // entities far outside the zone, as KmlDocument::leftOut
};

// Builds the document for `selection` and writes it to `target` in one step: a failure
// leaves no half-written file and the old file unchanged. The document is named after
// the file, without folder and extension. An empty selection writes nothing and returns
// {0, 0}. Throws as BuildKmlDocument, and fileio::FileWriteError when the file cannot be
// written.
KmlWriteResult WriteKmlFromSelection(const IAcadSelectionSet& selection, const survey::SurveyFrame& frame,
                                     const std::filesystem::path& target);
// The same on the program's default projection of the zone with L0 = centralMeridianDeg
// (degrees).
KmlWriteResult WriteKmlFromSelection(const IAcadSelectionSet& selection, double centralMeridianDeg,
                                     const geodesy::FourParamCoefficients& transform,
                                     const std::filesystem::path& target);

// A LookAt value: at most 15 significant digits, no exponent, trailing zeros and a
// trailing point dropped, "." as decimal point; magnitudes below 1e-15 (far below a
// millimetre or a nanodegree) are "0".
std::string FormatGeneralNumber(double value);

// UTF-8 text as XML character data: &, < and > escaped; control characters that XML
// cannot carry dropped; bytes that are not UTF-8 replaced by U+FFFD.
std::string EscapeXmlText(std::string_view text);

}  // namespace keldarn::cad
