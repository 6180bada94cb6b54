// The export page: the field list editor, the export of the point table and the import
// of an exported file, which reads with the same fields and separator.

#include "app/main_window.h"
#include "points/export_writer.h"
#include "points/import_reader.h"
#include "points/point_table_model.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTableView>

#include <stdexcept>
#include <vector>

namespace keldarn::app {

namespace {

// An action on the selected item with none selected.
class NoSelectedFieldError : public std::runtime_error {
public:
    NoSelectedFieldError()
        : std::runtime_error(
              QCoreApplication::translate("TFormMain", "列表位置无效：请先选中一个字段。").toStdString())
    {
    }
};

int SelectedRow(const QListWidget* list)
{
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty())
        throw NoSelectedFieldError();
    return list->row(selected.constFirst());
}

// Items only move: the two lists together always hold each field exactly once.
void MoveAllItems(QListWidget* from, QListWidget* to)
{
    while (from->count() > 0)
        to->addItem(from->takeItem(0));
}

void MoveSelectedItem(QListWidget* from, QListWidget* to)
{
    const int row = SelectedRow(from);
    to->addItem(from->takeItem(row));
    from->clearSelection();
    to->clearSelection();
}

// Moves the selected item one place, wrapping from the first place to the last and
// back, and keeps it selected so that repeated presses move the same item.
void MoveSelectedWithinList(QListWidget* list, bool up)
{
    const int n = list->count();
    const int i = SelectedRow(list);
    const int j = up ? (i == 0 ? n - 1 : i - 1) : (i == n - 1 ? 0 : i + 1);
    list->insertItem(j, list->takeItem(i));
    list->setCurrentRow(j);
    list->item(j)->setSelected(true);
}

// The fields in the order of the chosen list and the separator as typed.
points::ExportLayout PageLayout(const QListWidget* chosen, const QLineEdit* separator)
{
    points::ExportLayout layout;
    for (int i = 0; i < chosen->count(); ++i)
        layout.columns.push_back(points::ColumnOfFieldItem(chosen->item(i)->text().toStdString()));
    layout.separator = separator->text().toStdString();
    return layout;
}

// The files the export writes and the import reads.
QString PointFileFilter()
{
    return QStringLiteral("Text files (*.dat)|*.dat|Text files (*.txt)|*.txt|Text files (*.*)|*.*");
}

}  // namespace

void TFormMain::SpeedButton1Click() { MoveAllItems(ListBox1, ListBox2); }
void TFormMain::SpeedButton2Click() { MoveSelectedItem(ListBox1, ListBox2); }
void TFormMain::SpeedButton3Click() { MoveSelectedWithinList(ListBox2, true); }
void TFormMain::SpeedButton4Click() { MoveSelectedWithinList(ListBox2, false); }
void TFormMain::SpeedButton5Click() { MoveAllItems(ListBox2, ListBox1); }
void TFormMain::SpeedButton6Click() { MoveSelectedItem(ListBox2, ListBox1); }

void TFormMain::SetProgress(int percent)
{
    ProgressBar1->setValue(percent);
    // Painted at once: the export takes no input while it runs, but shows it is alive.
    ProgressBar1->repaint();
}

void TFormMain::Button2Click()
{
    // Nothing to write: said before a file is chosen, and no file is created.
    if (pointTable_->DataRowCount() == 0) {
        ShowInfo(tr("点表中没有数据，没有导出文件。"));
        return;
    }
    if (ListBox2->count() == 0) {
        ShowInfo(tr("选择框中没有字段，没有导出文件。请先用 >> 或 > 添加要导出的字段。"));
        return;
    }
    const points::ExportLayout layout = PageLayout(ListBox2, MaskEditFgf);

    // The save dialog is shared with the KML output, which sets its own filter,
    // extension and name: the export sets its own every time.
    SaveDialog1.title = tr("坐标数据另存为...");
    SaveDialog1.defaultSuffix = QStringLiteral("dat");
    SaveDialog1.filter = PointFileFilter();
    SaveDialog1.fileName.clear();
    const QString path = env_.dialogs->GetSaveFileName(this, SaveDialog1);
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path) &&
        !env_.dialogs->AskYesNo(this, tr("文件已存在,覆盖吗?"), windowTitle()))
        return;

    StatusBar1->setText(tr("正在导出数据,请等待..."));
    StatusBar1->repaint();
    SetProgress(1);
    try {
        points::ExportPointsFile(*pointTable_, layout, path.toStdString(), [this](int percent) { SetProgress(percent); });
    } catch (const std::exception&) {
        StatusBar1->clear();
        SetProgress(0);
        throw;
    }
    pointTable_->MarkAllExported();
    StatusBar1->setText(tr("数据导出完毕！"));
    SetProgress(100);
    ShowInfo(tr("数据导出完毕！"));
    SetProgress(0);
}

bool TFormMain::ImportFieldsChosen()
{
    if (ListBox2->count() > 0)
        return true;
    ShowInfo(tr("选择框中没有字段，无法导入。请先在“数据格式编辑”页用 >> 或 > 添加文件中的字段。"));
    return false;
}

void TFormMain::MInClick()
{
    if (!ImportFieldsChosen())
        return;
    OpenDialog1.title = tr("导入坐标数据");
    OpenDialog1.filter = PointFileFilter();
    OpenDialog1.defaultSuffix.clear();
    OpenDialog1.fileName.clear();
    const QString path = env_.dialogs->GetOpenFileName(this, OpenDialog1);
    if (!path.isEmpty())
        ImportPointsFile(path);
}

void TFormMain::ImportPointsFile(const QString& path)
{
    const points::ExportLayout layout = PageLayout(ListBox2, MaskEditFgf);
    StatusBar1->setText(tr("正在导入数据,请等待..."));
    StatusBar1->repaint();
    std::vector<points::RowCells> rows;
    try {
        rows = points::ReadPointsFile(path.toStdString(), layout);
    } catch (const std::exception&) {
        StatusBar1->clear();
        throw;
    }
    if (rows.empty()) {
        StatusBar1->clear();
        ShowInfo(tr("文件中没有点。"));
        return;
    }
    pointTable_->AppendRows(rows);
    pointTable_->SetHeaderFixed(true);
    StringGrid1->scrollToBottom();
    StatusBar1->setText(tr("已导入 %1 个点").arg(rows.size()));
}

}  // namespace keldarn::app
