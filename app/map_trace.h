#pragma once

// A route or a boundary clicked on the map: each left click on the terrain adds a vertex,
// a right click or Enter ends the line, Backspace takes the last vertex back, and Esc
// gives up. While tracing, the line so far is shown (through `show`) and every other
// input of the program is held back, as in the drawing window's own selection on screen.

#include "earth/application_ge.h"
#include "geodesy/coordinates.h"

#include <QObject>

#include <functional>
#include <optional>

class QEventLoop;

namespace keldarn::app {

class MapTrace : public QObject {
    Q_OBJECT

public:
    using Vertices = geodesy::GeoRing;  // WGS84

    // show: called with the vertices after each change (and with none at the end).
    MapTrace(earth::IApplicationGE& viewer, std::function<void(const Vertices&)> show);
    ~MapTrace() override;

    // Waits until the user ends the line: its vertices (perhaps too few for the caller, who
    // says so), or nothing after Esc.
    std::optional<Vertices> Run();

    // The same as the user's input would do, for callers that end a trace themselves.
    void AddVertexAt(const QPoint& renderPixel);
    void Finish();
    void Abandon();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    earth::IApplicationGE& viewer_;
    std::function<void(const Vertices&)> show_;
    Vertices vertices_;
    QEventLoop* loop_ = nullptr;
    bool finished_ = false;
};

}  // namespace keldarn::app
