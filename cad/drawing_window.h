#pragma once

// The drawing window: Keldarn's stand-in for a running CAD application. A top-level
// window with a small toolbar (新建, 打开DXF..., 保存DXF, 另存为..., 全图), the drawing
// canvas and a status line (cursor position, prompts). Through IAcadApplication it gives
// the two drawing conversions their document; SelectOnScreen raises the window and
// waits in a local event loop until the user ends the selection.
//
// Closing the window with unsaved changes asks first. Every question and file dialog
// goes through DrawingDialogs, so that tests can answer them.

#include "cad/acad_automation.h"
#include "cad/drawing_document.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QEventLoop;
class QLabel;

namespace keldarn::cad {

class DrawingCanvas;

struct DrawingDialogs {
    // Unsaved changes before closing or replacing the drawing: Save, Discard or Cancel.
    std::function<QMessageBox::StandardButton(QWidget* owner, const QString& text)> askSaveChanges;
    // Before a save that leaves content out: true to save anyway.
    std::function<bool(QWidget* owner, const QString& text)> confirmLoss;
    std::function<void(QWidget* owner, const QString& text)> showError;
    // A path chosen by the user, or an empty text when cancelled.
    std::function<QString(QWidget* owner)> chooseOpenPath;
    std::function<QString(QWidget* owner, const QString& suggestedPath)> chooseSavePath;

    // Message boxes and file dialogs of Qt.
    static DrawingDialogs Interactive();
};

class DrawingWindow : public QWidget, public IAcadApplication {
    Q_OBJECT

public:
    // A window showing `model`, read from filePath (empty: a new, unnamed drawing).
    explicit DrawingWindow(DrawingModel model = {}, const QString& filePath = {});
    ~DrawingWindow() override;

    // IAcadApplication
    void SetVisible(bool visible) override;
    IAcadDocument& ActiveDocument() override { return *document_; }

    DrawingDocument& Document() { return *document_; }
    DrawingCanvas& Canvas() { return *canvas_; }
    void SetDialogs(DrawingDialogs dialogs) { dialogs_ = std::move(dialogs); }

    const QString& FilePath() const { return filePath_; }
    bool IsModified() const;
    // False once the user has closed the window.
    bool IsOpen() const { return open_; }
    bool IsPicking() const { return pickLoop_ != nullptr; }

    // Toolbar commands. Each asks about unsaved changes where it replaces the drawing and
    // reports failures through DrawingDialogs; they return whether they were carried out.
    bool NewDrawing();
    bool OpenDxf();
    bool Save();
    bool SaveAs();
    void ZoomExtents();
    // Opens `path` in this window after asking about unsaved changes; false when the user
    // cancelled. Throws DxfError when the file cannot be read (the drawing stays as it was).
    bool OpenDxfFile(const QString& path);
    // Writes the drawing to `path`, asking first when the file cannot hold everything.
    bool SaveTo(const QString& path);
    // Asks about unsaved changes and saves when told to; true when the drawing may now be
    // discarded.
    bool MaybeSave();

    QString Caption() const;

signals:
    // The user closed the window (it is hidden, not destroyed).
    void closed();
    // The last selection set was deleted: no command uses the drawing any more.
    void selectionSetsReleased();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildToolbar();
    void ShowModel();
    void ScheduleRepaint();
    void UpdateCaption();
    void UpdateActions();
    void ShowStatus();
    std::optional<std::vector<EntityRef>> PickOnScreen();
    bool RefuseWhileCommandRuns();
    void LoadFile(const QString& path);

    std::unique_ptr<DrawingDocument> document_;
    DrawingDialogs dialogs_;
    DrawingCanvas* canvas_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* position_ = nullptr;
    QAction* newAction_ = nullptr;
    QAction* openAction_ = nullptr;
    QEventLoop* pickLoop_ = nullptr;
    bool pickKept_ = false;
    QString filePath_;
    std::uint64_t savedRevision_ = 0;
    bool lossAccepted_ = false;
    bool repaintPending_ = false;
    bool viewFitted_ = false;
    bool open_ = true;
};

}  // namespace keldarn::cad
