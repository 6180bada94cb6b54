#include "cad/drawing_window.h"

#include "cad/drawing_canvas.h"
#include "cad/dxf_reader.h"
#include "cad/dxf_writer.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace keldarn::cad {

namespace {

// The window's name: the title of its message boxes, and before the file name in its own.
QString Title()
{
    return QCoreApplication::translate("keldarn::cad::DrawingWindow", "Keldarn 图形窗口");
}

// The wait cursor while a long file operation runs.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

DrawingDialogs DrawingDialogs::Interactive()
{
    DrawingDialogs dialogs;
    dialogs.askSaveChanges = [](QWidget* owner, const QString& text) {
        return QMessageBox::question(owner, Title(), text,
                                     QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                     QMessageBox::Save);
    };
    dialogs.confirmLoss = [](QWidget* owner, const QString& text) {
        return QMessageBox::warning(owner, Title(), text, QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::No) == QMessageBox::Yes;
    };
    dialogs.showError = [](QWidget* owner, const QString& text) {
        QMessageBox::critical(owner, Title(), text);
    };
    dialogs.chooseOpenPath = [](QWidget* owner) {
        return QFileDialog::getOpenFileName(
            owner, QCoreApplication::translate("keldarn::cad::DrawingWindow", "打开DXF图形"), QString(),
            QCoreApplication::translate("keldarn::cad::DrawingWindow", "DXF图形文件 (*.dxf);;所有文件 (*)"));
    };
    dialogs.chooseSavePath = [](QWidget* owner, const QString& suggestedPath) {
        return QFileDialog::getSaveFileName(
            owner, QCoreApplication::translate("keldarn::cad::DrawingWindow", "DXF图形另存为"), suggestedPath,
            QCoreApplication::translate("keldarn::cad::DrawingWindow", "DXF图形文件 (*.dxf)"));
    };
    return dialogs;
}

DrawingWindow::DrawingWindow(DrawingModel model, const QString& filePath)
    : QWidget(nullptr, Qt::Window), document_(std::make_unique<DrawingDocument>()),
      dialogs_(DrawingDialogs::Interactive()), filePath_(filePath)
{
    document_->ReplaceModel(std::move(model));
    savedRevision_ = document_->Model().Revision();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildToolbar();
    canvas_ = new DrawingCanvas(this);
    layout->addWidget(canvas_, 1);
    auto* statusRow = new QHBoxLayout;
    statusRow->setContentsMargins(6, 2, 6, 2);
    status_ = new QLabel(this);
    // Long prompts are cut, never widen the window.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    position_ = new QLabel(this);
    const QString widest = QStringLiteral("00000000.000");
    position_->setMinimumWidth(
        position_->fontMetrics().horizontalAdvance(tr("X(东) %1  Y(北) %2").arg(widest, widest)));
    position_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    statusRow->addWidget(status_, 1);
    statusRow->addWidget(position_);
    layout->addLayout(statusRow);

    document_->SetChangedHook([this] { ScheduleRepaint(); });
    document_->SetPicker([this] { return PickOnScreen(); });
    document_->SetSelectionHook([this] {
        canvas_->SetHighlighted(document_->SelectedEntities());
        UpdateActions();
        if (!document_->HasSelectionSets())
            emit selectionSetsReleased();
    });
    connect(canvas_, &DrawingCanvas::cursorMoved, this, [this](double xM, double yM) {
        position_->setText(tr("X(东) %1  Y(北) %2").arg(xM, 0, 'f', 3).arg(yM, 0, 'f', 3));
    });
    connect(canvas_, &DrawingCanvas::pickedChanged, this, &DrawingWindow::ShowStatus);

    resize(1000, 700);
    ShowModel();
}

DrawingWindow::~DrawingWindow() = default;

void DrawingWindow::BuildToolbar()
{
    auto* toolbar = new QToolBar(this);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    newAction_ = toolbar->addAction(tr("新建"), this, &DrawingWindow::NewDrawing);
    newAction_->setShortcut(QKeySequence::New);
    openAction_ = toolbar->addAction(tr("打开DXF..."), this, &DrawingWindow::OpenDxf);
    openAction_->setShortcut(QKeySequence::Open);
    toolbar->addAction(tr("保存DXF"), this, &DrawingWindow::Save)->setShortcut(QKeySequence::Save);
    QAction* saveAs = toolbar->addAction(tr("另存为..."), this, &DrawingWindow::SaveAs);
    saveAs->setShortcut(QKeySequence::SaveAs);
    // Tool buttons drop a trailing "..." unless the icon text is set; these names keep it.
    openAction_->setIconText(openAction_->text());
    saveAs->setIconText(saveAs->text());
    toolbar->addSeparator();
    toolbar->addAction(tr("全图"), this, &DrawingWindow::ZoomExtents)
        ->setToolTip(tr("显示整个图形（Home 键，或双击鼠标中键）"));
    static_cast<QVBoxLayout*>(layout())->addWidget(toolbar);
}

void DrawingWindow::SetVisible(bool visible)
{
    if (!visible) {
        hide();
        return;
    }
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

bool DrawingWindow::IsModified() const
{
    return document_->Model().Revision() != savedRevision_;
}

QString DrawingWindow::Caption() const
{
    const QString name = filePath_.isEmpty() ? tr("未命名") : QFileInfo(filePath_).fileName();
    return Title() + QStringLiteral(" - ") + name + QStringLiteral("[*]");
}

void DrawingWindow::UpdateCaption()
{
    setWindowTitle(Caption());
    setWindowModified(IsModified());
}

void DrawingWindow::UpdateActions()
{
    const bool free = !IsPicking() && !document_->HasSelectionSets();
    newAction_->setEnabled(free);
    openAction_->setEnabled(free);
}

void DrawingWindow::ShowStatus()
{
    if (IsPicking()) {
        status_->setText(
            tr("选择对象：单击拾取或拖出窗口（向右拖选窗口内的，向左拖选与窗口相交的），Shift 去除；"
               "回车、空格或右键结束，Esc 取消。已选 %1 个。")
                .arg(canvas_->Picked().size()));
        return;
    }
    const DrawingModel& model = document_->Model();
    status_->setText(tr("点 %1 个，文字 %2 个，多段线 %3 个，其他对象 %4 个")
                         .arg(model.Points().size())
                         .arg(model.Texts().size())
                         .arg(model.Polylines().size())
                         .arg(model.Others().size()));
}

void DrawingWindow::ShowModel()
{
    canvas_->SetModel(&document_->Model());
    UpdateCaption();
    UpdateActions();
    ShowStatus();
}

// Entities arrive from a command in large numbers without the event loop running: one
// repaint after the command, however many there were.
void DrawingWindow::ScheduleRepaint()
{
    if (repaintPending_)
        return;
    repaintPending_ = true;
    QTimer::singleShot(0, this, [this] {
        repaintPending_ = false;
        document_->ChangesShown();
        canvas_->DrawingChanged();
        UpdateCaption();
        ShowStatus();
    });
}

void DrawingWindow::ZoomExtents()
{
    canvas_->ZoomExtents();
}

bool DrawingWindow::RefuseWhileCommandRuns()
{
    if (!IsPicking() && !document_->HasSelectionSets())
        return false;
    dialogs_.showError(this,
                       tr("一个命令正在使用当前图形（在图形中选择对象），请先结束选择，再新建或打开图形。"));
    return true;
}

bool DrawingWindow::MaybeSave()
{
    if (!IsModified())
        return true;
    const QString name = filePath_.isEmpty() ? tr("未命名图形") : QFileInfo(filePath_).fileName();
    const auto answer = dialogs_.askSaveChanges(this, tr("图形“%1”已修改，是否保存修改？").arg(name));
    if (answer == QMessageBox::Save)
        return Save();
    return answer == QMessageBox::Discard;
}

bool DrawingWindow::NewDrawing()
{
    if (RefuseWhileCommandRuns() || !MaybeSave())
        return false;
    document_->ReplaceModel(DrawingModel());
    filePath_.clear();
    savedRevision_ = document_->Model().Revision();
    lossAccepted_ = false;
    ShowModel();
    return true;
}

void DrawingWindow::LoadFile(const QString& path)
{
    DrawingModel model;
    {
        WaitCursor wait;
        model = ReadDxfFile(path);
    }
    document_->ReplaceModel(std::move(model));
    filePath_ = path;
    savedRevision_ = document_->Model().Revision();
    lossAccepted_ = false;
    ShowModel();
}

bool DrawingWindow::OpenDxfFile(const QString& path)
{
    if (RefuseWhileCommandRuns() || !MaybeSave())
        return false;
    LoadFile(path);
    return true;
}

bool DrawingWindow::OpenDxf()
{
    if (RefuseWhileCommandRuns() || !MaybeSave())
        return false;
    const QString path = dialogs_.chooseOpenPath(this);
    if (path.isEmpty())
        return false;
    try {
        LoadFile(path);
    } catch (const DxfError& error) {
        dialogs_.showError(this, QString::fromStdString(error.what()));
        return false;
    }
    return true;
}

bool DrawingWindow::Save()
{
    return filePath_.isEmpty() ? SaveAs() : SaveTo(filePath_);
}

bool DrawingWindow::SaveAs()
{
    const QString suggested =
        filePath_.isEmpty() ? QDir::home().filePath(tr("未命名") + QStringLiteral(".dxf")) : filePath_;
    QString path = dialogs_.chooseSavePath(this, suggested);
    if (path.isEmpty())
        return false;
    if (!path.endsWith(QStringLiteral(".dxf"), Qt::CaseInsensitive))
        path += QStringLiteral(".dxf");
    return SaveTo(path);
}

bool DrawingWindow::SaveTo(const QString& path)
{
    const DrawingModel& model = document_->Model();
    const std::vector<std::string> lost = UnsavedContentLines(model);
    if (!lost.empty() && !lossAccepted_) {
        QString text = tr("DXF文件不能保存图形中的以下内容，保存后它们将丢失：") + QLatin1Char('\n');
        for (const std::string& line : lost)
            text += QStringLiteral("    ") + QString::fromStdString(line) + QLatin1Char('\n');
        if (!dialogs_.confirmLoss(this, text + QLatin1Char('\n') + tr("仍然保存吗？")))
            return false;
        lossAccepted_ = true;
    }
    try {
        WaitCursor wait;
        SaveDxfFile(model, path);
    } catch (const DxfError& error) {
        dialogs_.showError(this, QString::fromStdString(error.what()));
        return false;
    }
    filePath_ = path;
    savedRevision_ = model.Revision();
    UpdateCaption();
    return true;
}

std::optional<std::vector<EntityRef>> DrawingWindow::PickOnScreen()
{
    if (!open_)
        return std::nullopt;
    SetVisible(true);
    canvas_->BeginPick({EntityKind::Text, EntityKind::Polyline});
    QEventLoop loop;
    pickLoop_ = &loop;
    pickKept_ = false;
    UpdateActions();
    ShowStatus();
    connect(canvas_, &DrawingCanvas::pickFinished, &loop, [this, &loop](bool keep) {
        pickKept_ = keep;
        loop.quit();
    });
    loop.exec();
    pickLoop_ = nullptr;
    std::optional<std::vector<EntityRef>> picked;
    if (pickKept_ && open_)
        picked = canvas_->Picked();
    canvas_->EndPick();
    UpdateActions();
    ShowStatus();
    return picked;
}

void DrawingWindow::closeEvent(QCloseEvent* event)
{
    if (!MaybeSave()) {
        event->ignore();
        return;
    }
    event->accept();
    open_ = false;
    if (IsPicking())
        canvas_->FinishPick(false);
    emit closed();
}

}  // namespace keldarn::cad
