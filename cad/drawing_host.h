#pragma once

// The main window's access to the drawing window: opens at most one drawing window (a
// new drawing or a DXF file) and attaches the drawing conversions to it. Attach()
// returns nullptr while no drawing window is open; the caller then shows
// "AutoCAD尚未打开！".
//
// A window the user closes is destroyed once no command uses it any more (no selection
// set is left), so that a command in the middle of a selection never loses its drawing.

#include "cad/acad_automation.h"
#include "cad/drawing_window.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QWidget;

namespace keldarn::cad {

class DrawingHost : public QObject {
    Q_OBJECT

public:
    explicit DrawingHost(QObject* parent = nullptr);
    ~DrawingHost() override;

    // The open drawing window's application, or nullptr when none is open.
    IAcadApplication* Attach();
    // Attach as the conversions take it.
    AcadAttach AttachFunction();

    // Shows a new, empty drawing: in a new window placed over `parent`'s screen, or in the
    // open window after asking about its unsaved changes.
    void OpenNewDrawing(QWidget* parent);
    // Opens a DXF file, in the open window (after asking about its unsaved changes) or in
    // a new one. Throws DxfError, whose message names the file and the reason; nothing
    // changes then.
    void OpenDxf(const QString& path, QWidget* parent = nullptr);
    // Closes the drawing window, asking about unsaved changes (for the main window's own
    // closing); false when the user chose to keep it open.
    bool CloseDrawing();

    // The open window, or nullptr.
    DrawingWindow* Window() const;
    // Dialogs for the windows opened from now on (tests answer them).
    void SetDialogs(DrawingDialogs dialogs);

private:
    void Adopt(std::unique_ptr<DrawingWindow> window, QWidget* parent);
    void ScheduleCleanup();
    void DestroyClosedWindows();

    std::unique_ptr<DrawingWindow> window_;
    // Closed windows whose command still holds a selection set.
    std::vector<std::unique_ptr<DrawingWindow>> retired_;
    std::unique_ptr<DrawingDialogs> dialogs_;
};

}  // namespace keldarn::cad
