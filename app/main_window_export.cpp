// The export page: the field list editor, the export of the point table and the import
// of an exported file, which reads with the same fields and separator.

#include "app/main_window.h"
#include "points/export_writer.h"
#include "points/import_reader.h"
#include "points/point_table_model.h"
#include "survey/task_progress.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QStringList>
#include <QTableView>

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
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

// What the rows hold that breaks their lines, in the words of the messages below.
QString ClashCharacters(const QString& separator)
{
    if (separator.isEmpty())
        return QCoreApplication::translate("TFormMain", "换行");
    if (separator == QLatin1String(" "))
        return QCoreApplication::translate("TFormMain", "分隔符（空格）或换行");
    return QCoreApplication::translate("TFormMain", "分隔符“%1”或换行").arg(separator);
}

// One line per row, "第3行 N,1", the first ten rows only, then how many more there are.
QString ClashRows(const points::PointTableModel& table, const std::vector<int>& gridRows)
{
    constexpr std::size_t kListed = 10;
    QStringList lines;
    for (std::size_t i = 0; i < gridRows.size() && i < kListed; ++i)
        lines << QCoreApplication::translate("TFormMain", "第%1行 %2")
                     .arg(QString::number(gridRows[i]),
                          table.Cell(points::kNameColumn, gridRows[i]).simplified());
    if (gridRows.size() > kListed)
        lines << QCoreApplication::translate("TFormMain", "……另有 %1 行").arg(gridRows.size() - kListed);
    return lines.join(QLatin1Char('\n'));
}

bool IsNumberColumn(int column)
{
    return column == points::kXColumn || column == points::kYColumn || column == points::kHColumn;
}

// The rows whose clash lies in X, Y or H: a replaced character would change a coordinate,
// so those are refused rather than mended (a separator that is a digit, "." or "-" clashes
// with nearly every number).
std::vector<int> NumberClashRows(const std::vector<points::SeparatorClash>& clashes)
{
    std::vector<int> rows;
    for (const points::SeparatorClash& clash : clashes)
        if (std::any_of(clash.columns.begin(), clash.columns.end(), IsNumberColumn))
            rows.push_back(clash.gridRow);
    return rows;
}

QString SuggestedReplacement(const QString& separator)
{
    return separator == QLatin1String("_") ? QStringLiteral("-") : QStringLiteral("_");
}

// The table's cells are changed, not only the written lines: the surveyor's table and the
// file then say the same, and each change is an edit like a typed one (the journal keeps
// it, the row counts as changed until this export marks it written).
void ReplaceClashes(points::PointTableModel& table, const std::vector<points::SeparatorClash>& clashes,
                    const points::ExportLayout& layout, const QString& replacement)
{
    const std::string replacementUtf8 = replacement.toStdString();
    for (const points::SeparatorClash& clash : clashes)
        for (const int column : clash.columns) {
            const std::string mended = points::ReplaceSeparatorClashes(table.CellView(column, clash.gridRow),
                                                                       layout.separator, replacementUtf8);
            table.setData(table.index(clash.gridRow - 1, column), QString::fromStdString(mended),
                          Qt::EditRole);
        }
}

}  // namespace

void TFormMain::SpeedButton1Click()
{
    MoveAllItems(ListBox1, ListBox2);
}
void TFormMain::SpeedButton2Click()
{
    MoveSelectedItem(ListBox1, ListBox2);
}
void TFormMain::SpeedButton3Click()
{
    MoveSelectedWithinList(ListBox2, true);
}
void TFormMain::SpeedButton4Click()
{
    MoveSelectedWithinList(ListBox2, false);
}
void TFormMain::SpeedButton5Click()
{
    MoveAllItems(ListBox2, ListBox1);
}
void TFormMain::SpeedButton6Click()
{
    MoveSelectedItem(ListBox2, ListBox1);
}

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

    // Cells that would split their line are settled before the file is chosen, so that
    // a cancel here leaves no question asked in vain. The importer splits at every
    // separator, so the file could not be read back otherwise.
    const std::vector<points::SeparatorClash> clashes = points::FindSeparatorClashes(*pointTable_, layout);
    std::optional<QString> replacement;
    if (!clashes.empty()) {
        const QString separator = MaskEditFgf->text();
        if (const std::vector<int> numberRows = NumberClashRows(clashes); !numberRows.empty()) {
            ShowError(tr("下列行的坐标或高程中含有%1，导出的行将无法按字段读回：\n%2\n\n"
                         "请换一个分隔符（不要用数字、小数点或正负号），或先改正这些单元格。")
                          .arg(ClashCharacters(separator), ClashRows(*pointTable_, numberRows)));
            return;
        }
        std::vector<int> rows;
        for (const points::SeparatorClash& clash : clashes)
            rows.push_back(clash.gridRow);
        replacement = env_.dialogs->ChooseSeparatorReplacement(
            this,
            tr("下列行的点名或描述中含有%1，原样导出后这些行的字段数不对，无法再按字段读回：\n%2\n\n"
               "可以把这些字符替换为下面的字符后导出（点表中的这些单元格也一并修改，使点表与文件一致），"
               "或取消导出。")
                .arg(ClashCharacters(separator), ClashRows(*pointTable_, rows)),
            separator, SuggestedReplacement(separator));
        if (!replacement || !points::IsSeparatorReplacement(replacement->toStdString(), layout.separator))
            return;
    }

    // The save dialog is shared with the KML output, which sets its own filter,
    // extension and name: the export sets its own every time.
    SaveDialog1.title = tr("坐标数据另存为...");
    SaveDialog1.defaultSuffix = QStringLiteral("dat");
    SaveDialog1.filter = PointFileFilter();
    SaveDialog1.fileName.clear();
    const QString path = env_.dialogs->GetSaveFileName(this, SaveDialog1);
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path) && !env_.dialogs->AskYesNo(this, tr("文件已存在,覆盖吗?"), windowTitle()))
        return;

    if (replacement)
        ReplaceClashes(*pointTable_, clashes, layout, *replacement);

    StatusBar1->setText(tr("正在导出数据,请等待..."));
    StatusBar1->repaint();
    SetProgress(1);
    try {
        points::ExportPointsFile(*pointTable_, layout, path.toStdString(),
                                 [this](int percent) { SetProgress(percent); });
    } catch (const std::exception&) {
        StatusBar1->clear();
        SetProgress(0);
        throw;
    }
    pointTable_->MarkAllExported();
    // The restored rows are in a file of the user's now: their backup is no longer needed.
    if (recoveryBackup_ == RecoveryBackup::kRestored)
        RemoveRecoveryBackup();
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
    // Read on a worker straight into packed rows; they reach the table all at once, or
    // not at all when the file has bad lines or the user cancels.
    auto rows = std::make_shared<std::vector<std::string>>();
    auto work = [file = path.toStdString(), layout, rows](survey::TaskProgress& progress) {
        *rows = points::ReadPointsFile(file, layout, [&progress](double fraction) {
            progress.ThrowIfCancelled();
            progress.Set(fraction);
        });
    };
    auto done = [this, rows](std::exception_ptr error, bool cancelled) {
        if (error)
            return;  // the reader's message, naming the bad lines, is shown by the caller
        if (cancelled) {
            StatusBar1->setText(tr("已取消导入，没有导入任何点。"));
            return;
        }
        if (rows->empty()) {
            ShowInfo(tr("文件中没有点。"));
            return;
        }
        const std::size_t count = rows->size();
        pointTable_->AppendPackedRows(std::move(*rows));
        pointTable_->SetHeaderFixed(true);
        StringGrid1->scrollToBottom();
        StatusBar1->setText(tr("已导入 %1 个点").arg(count));
    };
    StartSurveyTask(std::move(work), std::move(done), tr("正在导入数据...按Esc取消"),
                    tr("正在导入数据，请等待结束或按Esc取消。"));
}

}  // namespace keldarn::app
