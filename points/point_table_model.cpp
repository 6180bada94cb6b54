#include "points/point_table_model.h"

#include <QCoreApplication>

#include <algorithm>
#include <stdexcept>

namespace keldarn::points {

namespace {

void AppendLength(std::string& out, std::size_t length)
{
    while (length >= 0x80) {
        out.push_back(static_cast<char>((length & 0x7F) | 0x80));
        length >>= 7;
    }
    out.push_back(static_cast<char>(length));
}

std::size_t ReadLength(std::string_view packed, std::size_t& pos)
{
    std::size_t length = 0;
    int shift = 0;
    while (pos < packed.size()) {
        const auto byte = static_cast<unsigned char>(packed[pos++]);
        length |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0)
            break;
        shift += 7;
    }
    return length;
}

// The titles as UTF-8, for the grid's row 0. They are exported as they are; the view's
// header shows them in the interface's language.
constexpr std::array<std::string_view, kColumnCount> kTitlesUtf8 = {
    QT_TRANSLATE_NOOP("points", "点号"), QT_TRANSLATE_NOOP("points", "描述"),
    QT_TRANSLATE_NOOP("points", "纵坐标X"), QT_TRANSLATE_NOOP("points", "横坐标Y"),
    QT_TRANSLATE_NOOP("points", "高程H")};

}  // namespace

std::string PackRow(const RowCells& cells)
{
    std::array<QByteArray, kColumnCount> utf8;
    std::array<std::string_view, kColumnCount> views;
    for (std::size_t c = 0; c < cells.size(); ++c) {
        utf8[c] = cells[c].toUtf8();
        views[c] = std::string_view(utf8[c].constData(), static_cast<std::size_t>(utf8[c].size()));
    }
    return PackRow(views);
}

std::string PackRow(const std::array<std::string_view, kColumnCount>& utf8Cells)
{
    // Each length takes one byte below 128 bytes of text; sized once, so the row holds no
    // spare capacity (a million rows would carry it all).
    std::size_t size = 0;
    for (const std::string_view cell : utf8Cells)
        size += cell.size() + (cell.size() < 0x80 ? 1 : 5);
    std::string packed;
    packed.reserve(size);
    for (const std::string_view cell : utf8Cells) {
        AppendLength(packed, cell.size());
        packed.append(cell);
    }
    if (packed.capacity() > packed.size() + 8)
        packed.shrink_to_fit();
    return packed;
}

std::string UnpackCell(const std::string& packed, int column)
{
    if (column < 0 || column >= kColumnCount)
        return {};
    return std::string(UnpackCellViews(packed)[static_cast<std::size_t>(column)]);
}

std::array<std::string_view, kColumnCount> UnpackCellViews(std::string_view packed)
{
    std::array<std::string_view, kColumnCount> cells;
    std::size_t pos = 0;
    for (std::string_view& cell : cells) {
        const std::size_t length = ReadLength(packed, pos);
        // substr clamps a length that runs past the end; a position past it gives "".
        cell = pos < packed.size() ? packed.substr(pos, length) : std::string_view();
        pos += length;
    }
    return cells;
}

PointTableModel::PointTableModel(QObject* parent) : QAbstractTableModel(parent)
{
}

QString PointTableModel::Title(int column)
{
    return column >= 0 && column < kColumnCount
               ? QCoreApplication::translate("points", kTitlesUtf8[static_cast<std::size_t>(column)].data())
               : QString();
}

std::array<std::string_view, kColumnCount> PointTableModel::CellViews(int gridRow) const
{
    if (gridRow == 0)
        return kTitlesUtf8;
    if (gridRow < 1 || gridRow > DataRowCount())
        return {};
    return UnpackCellViews(rows_[static_cast<std::size_t>(gridRow - 1)]);
}

std::string_view PointTableModel::CellView(int column, int gridRow) const
{
    if (column < 0 || column >= kColumnCount)
        return {};
    return CellViews(gridRow)[static_cast<std::size_t>(column)];
}

std::string PointTableModel::CellUtf8(int column, int gridRow) const
{
    return std::string(CellView(column, gridRow));
}

QString PointTableModel::Cell(int column, int gridRow) const
{
    const std::string_view utf8 = CellView(column, gridRow);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

int PointTableModel::AppendRow(const RowCells& cells)
{
    const int modelRow = DataRowCount();
    beginInsertRows({}, modelRow, modelRow);
    rows_.push_back(PackRow(cells));
    AppendUnexported(1);
    endInsertRows();
    return modelRow + 1;
}

void PointTableModel::AppendRows(const std::vector<RowCells>& rows)
{
    if (rows.empty())
        return;
    const int first = DataRowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    ReserveFor(rows.size());
    for (const RowCells& cells : rows)
        rows_.push_back(PackRow(cells));
    AppendUnexported(rows.size());
    endInsertRows();
}

void PointTableModel::AppendPackedRows(std::vector<std::string> rows)
{
    if (rows.empty())
        return;
    const int first = DataRowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    const std::size_t count = rows.size();
    if (rows_.empty()) {
        rows_ = std::move(rows);
    } else {
        ReserveFor(count);
        for (std::string& packed : rows)
            rows_.push_back(std::move(packed));
    }
    AppendUnexported(count);
    endInsertRows();
}

void PointTableModel::RemoveGridRow(int gridRow)
{
    if (gridRow < 1 || gridRow > DataRowCount())
        return;
    beginRemoveRows({}, gridRow - 1, gridRow - 1);
    rows_.erase(rows_.begin() + (gridRow - 1));
    const auto flag = unexported_.begin() + (gridRow - 1);
    unexportedCount_ -= *flag ? 1 : 0;
    unexported_.erase(flag);
    endRemoveRows();
    if (rows_.empty())
        SetHeaderFixed(false);
}

void PointTableModel::Clear()
{
    if (!rows_.empty()) {
        beginResetModel();
        std::vector<std::string>().swap(rows_);
        std::vector<bool>().swap(unexported_);
        unexportedCount_ = 0;
        endResetModel();
    }
    SetHeaderFixed(false);
}

// Room for `added` more rows. Growth is geometric: a reserve of exactly the new size at
// every batch would move every row of the table at every batch, so that appending a
// sampling run's batches cost time in proportion to the table, not to the batch.
void PointTableModel::ReserveFor(std::size_t added)
{
    const std::size_t needed = rows_.size() + added;
    if (needed > rows_.capacity())
        rows_.reserve(std::max(needed, rows_.capacity() * 2));
}

void PointTableModel::AppendUnexported(std::size_t count)
{
    unexported_.resize(unexported_.size() + count, true);
    unexportedCount_ += static_cast<int>(count);
}

void PointTableModel::MarkAllExported()
{
    unexported_.assign(unexported_.size(), false);
    unexportedCount_ = 0;
}

void PointTableModel::SetHeaderFixed(bool fixed)
{
    // A fixed title row needs a row below it.
    const bool effective = fixed && !rows_.empty();
    if (effective == headerFixed_)
        return;
    headerFixed_ = effective;
    emit headerFixedChanged(headerFixed_);
}

int PointTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : DataRowCount();
}

int PointTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant PointTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return Cell(index.column(), index.row() + 1);
}

bool PointTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || index.row() >= DataRowCount())
        return false;
    std::string& packed = rows_[static_cast<std::size_t>(index.row())];
    const std::array<std::string_view, kColumnCount> views = UnpackCellViews(packed);
    RowCells cells;
    for (std::size_t c = 0; c < cells.size(); ++c)
        cells[c] = QString::fromUtf8(views[c].data(), static_cast<qsizetype>(views[c].size()));
    QString& cell = cells[static_cast<std::size_t>(index.column())];
    const QString text = value.toString();
    if (cell == text)
        return true;  // an editor closed without a change leaves the row as exported
    cell = text;
    packed = PackRow(cells);
    if (!unexported_[static_cast<std::size_t>(index.row())]) {
        unexported_[static_cast<std::size_t>(index.row())] = true;
        ++unexportedCount_;
    }
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

QVariant PointTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return Title(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags PointTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

}  // namespace keldarn::points
