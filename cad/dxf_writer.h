#pragma once

// Writing a drawing as DXF R2000 (AC1015) with dxflib, for any CAD program to open.
//
// Entities keep their layer, colour and linetype; the layer, linetype and text style
// tables of a loaded file are written back. Texts and the names of layers, linetypes
// and text styles are GBK bytes under $DWGCODEPAGE ANSI_936, as the CAD programs of
// Chinese drafting offices, GDAL and ezdxf read them; a character GBK lacks is written as
// a \U+XXXX escape (EncodeDxfTextToFit, EncodeDxfName). Numbers are written in their
// shortest exact form, so every coordinate reads back bit for bit. The view of the file (*Active viewport)
// shows the drawing's extents. Old-style 2-D polylines of a loaded file are written as
// lightweight polylines with the same vertices, bulges, closure and elevation. A polyline's
// elevation (group 38) is written only when it is not zero.

#include "cad/drawing_model.h"

#include <QString>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace keldarn::cad {

// Receives the text of a DXF file piece by piece, in order; may throw to stop the writing.
using DxfPieceWriter = std::function<void(std::string_view piece)>;

// Writes the DXF file of the drawing as it is produced, in pieces of some 64 KB, so that
// the memory of a save is that of the drawing and never that of the file's text (about
// twice the drawing's). What `write` throws goes through unchanged.
void WriteDxf(const DrawingModel& model, const DxfPieceWriter& write);

// The DXF file of the drawing, whole, for a caller that keeps it in memory anyway.
std::string DxfBytes(const DrawingModel& model);

// Writes the DXF file into a temporary file beside `path`, renamed over it once complete,
// so that a failure leaves any earlier file as it was. Throws DxfError naming the file.
void SaveDxfFile(const DrawingModel& model, const QString& path);

// What a save leaves out, one line per kind ("多行文字 (MTEXT)：3 个"), texts too long
// for a DXF value included (they are saved cut, see EncodeDxfTextToFit); empty when the
// file keeps everything the drawing holds.
std::vector<std::string> UnsavedContentLines(const DrawingModel& model);

}  // namespace keldarn::cad
