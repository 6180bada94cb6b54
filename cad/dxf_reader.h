#pragma once

// Reading a DXF file (ASCII, any release) into a drawing, with dxflib.
//
// The file is checked while it streams into dxflib: a file that is empty, binary, not
// DXF at all or cut short is refused with a message naming the file and the line. Only
// what the drawing holds reaches dxflib (model-space points, texts, polylines, lines,
// circles, arcs, ellipses; the header; the layer, linetype and text style tables), which
// also keeps dxflib away from the entity kinds whose counts it trusts blindly (splines,
// leaders); a lightweight polyline reaches it with the number of vertices the file really
// holds, never the number it claims. Everything else is counted in the drawing's Unsaved()
// list, so that saving can say what it drops. Memory stays at the drawing's entities plus
// a few buffers of fixed size and the text of one lightweight polyline.

#include "cad/drawing_model.h"

#include <QString>

#include <stdexcept>

namespace keldarn::cad {

// A file that cannot be read or written, with a message for the user that names the
// file and the reason.
class DxfError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws DxfError.
DrawingModel ReadDxfFile(const QString& path);

}  // namespace keldarn::cad
