#pragma once

#include <string>
#include <vector>

namespace keldarn::cli {

// keldarn-cli kml2dxf: KML/KMZ files drawn as the window's "KML文件转为CAD图形" draws them
// into a new drawing, each saved as the DXF file the drawing window saves. arguments[0] is
// "kml2dxf". Returns the exit status; messages go to standard error.
int RunKml2Dxf(const std::vector<std::string>& arguments);

// keldarn-cli dxf2kml: every single-line text and lightweight polyline of a DXF file
// written as the KML file "CAD图形转为KML文件" writes when the user picks the whole
// drawing. arguments[0] is "dxf2kml".
int RunDxf2Kml(const std::vector<std::string>& arguments);

}  // namespace keldarn::cli
