#pragma once

// Painting a drawing for the drawing window. Made for large drawings (hundreds of
// thousands of points and texts): entities outside the view are skipped, points that
// fall on a pixel already drawn are skipped, texts smaller than a pixel are skipped and
// those smaller than a few pixels are drawn as a stroke, and lines go to QPainter in one
// batch per style. Entities of a loaded file that are not picked are drawn grey.

#include "cad/drawing_model.h"
#include "cad/drawing_view.h"

#include <QColor>
#include <QFont>
#include <QLineF>

#include <span>
#include <vector>

class QPainter;

namespace keldarn::cad {

class DrawingRenderer {
public:
    DrawingRenderer();

    // What the last frame drew, for benchmarks and tests.
    struct FrameCounts {
        int points = 0;
        int glyphTexts = 0;   // drawn with the font
        int strokeTexts = 0;  // too small to read: drawn as a stroke
        int polylines = 0;
        int others = 0;
    };

    // Paints the drawing over the whole canvas of `view`, then the highlighted entities.
    void Paint(QPainter& painter, const DrawingModel& model, const DrawingView& view,
               std::span<const EntityRef> highlighted);
    const FrameCounts& LastFrame() const { return counts_; }

    // Forgets what it keeps of the drawing; call when the drawing is replaced.
    void Reset();

    static QColor BackgroundColor() { return QColor(24, 26, 30); }

private:
    void PreparePens(const DrawingModel& model);
    void UpdatePolylineBoxes(const DrawingModel& model);
    void CollectPoints(const DrawingModel& model, const DrawingView& view);
    void CollectPolylines(const DrawingModel& model, const DrawingView& view);
    void CollectOthers(const DrawingModel& model, const DrawingView& view);
    void CollectTexts(const DrawingModel& model, const DrawingView& view);
    void AddPath(std::vector<QLineF>& lines, const DrawingView& view);
    void DrawLines(QPainter& painter);
    void DrawGlyphTexts(QPainter& painter, const DrawingModel& model, const DrawingView& view);
    void DrawGlyphText(QPainter& painter, const DrawingModel& model, const DrawingView& view,
                       const DrawingText& text);
    void AppendHighlightBox(const DrawingText& text, double marginEm);
    void DrawHighlights(QPainter& painter, const DrawingModel& model, const DrawingView& view,
                        std::span<const EntityRef> highlighted);

    std::vector<QColor> styleColors_;
    std::vector<std::vector<QLineF>> linesByStyle_;
    std::vector<QLineF> otherLines_;
    std::vector<std::uint32_t> glyphTexts_;
    std::vector<std::uint8_t> occupied_;
    std::vector<DrawingXY> scratch_;
    std::vector<DrawingBox> polylineBoxes_;
    QFont font_;
    double emPerTextHeight_ = 1.2;  // font pixel size per pixel of text height
    FrameCounts counts_;
};

// The colour of an AutoCAD colour index on the dark canvas (7 is white).
QColor ColorOfIndex(int colorIndex);

}  // namespace keldarn::cad
