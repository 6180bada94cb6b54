#pragma once

// The point table: every collected point as five text cells (name, description,
// X northing, Y easting, H elevation). What a cell says is what is exported.
//
// Rows are counted as on the surveyor's grid: row 0 is the title row, rows 1..n are
// points, and RowCount() is n + 1. The Qt model rows are the data rows only (model row
// r is grid row r + 1); the titles are the view's horizontal header.
//
// Each row is kept as one packed byte string (UTF-8 cells with length prefixes), so a
// table of a million sampled points stays within about a hundred megabytes.

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace keldarn::points {

inline constexpr int kColumnCount = 5;
using RowCells = std::array<QString, kColumnCount>;

enum Column { kNameColumn = 0, kDescriptionColumn = 1, kXColumn = 2, kYColumn = 3, kHColumn = 4 };

class PointTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit PointTableModel(QObject* parent = nullptr);

    // Grid view of the table: titles in row 0, points in rows 1..RowCount() − 1.
    int RowCount() const { return static_cast<int>(rows_.size()) + 1; }
    int DataRowCount() const { return static_cast<int>(rows_.size()); }
    QString Cell(int column, int gridRow) const;
    std::string CellUtf8(int column, int gridRow) const;
    // The UTF-8 cells of one row without copying, for readers of many rows (the export).
    // The views stay valid until the table changes. Empty views for a row or column
    // outside the table.
    std::array<std::string_view, kColumnCount> CellViews(int gridRow) const;
    std::string_view CellView(int column, int gridRow) const;
    static QString Title(int column);

    // The packed bytes of data row gridRow (1..n), as PackRow makes them.
    const std::string& PackedRow(int gridRow) const { return rows_[static_cast<std::size_t>(gridRow - 1)]; }
    // Appends rows already packed (a table read back from its journal, an imported file),
    // with one notification to the views.
    void AppendPackedRows(std::vector<std::string> rows);

    // Appends one row at the end and returns its grid row.
    int AppendRow(const RowCells& cells);
    // Appends many rows with one notification to the views.
    void AppendRows(const std::vector<RowCells>& rows);
    // Removes grid row gridRow (1..n); the rows below move up. Row 0 is never removed.
    void RemoveGridRow(int gridRow);
    // Removes every data row; the title row stays.
    void Clear();

    // Rows added or changed since they were last written by an export of the whole table;
    // rows read back from the journal or imported count as added. Removing a row takes
    // it out of the count, and never makes other rows unexported.
    int UnexportedRowCount() const { return unexportedCount_; }
    // Every row as the successful export of the whole table has just written it.
    void MarkAllExported();

    // The title row is fixed (non-scrolling, not editable) after an adoption or a
    // sampling run; it stops being fixed when the table is emptied.
    bool HeaderFixed() const { return headerFixed_; }
    void SetHeaderFixed(bool fixed);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void headerFixedChanged(bool fixed);

private:
    void AppendUnexported(std::size_t count);
    void ReserveFor(std::size_t added);

    std::vector<std::string> rows_;
    // One bit a row, parallel to rows_: added or changed since the last export. A bit
    // a row keeps a million rows within 125 kB.
    std::vector<bool> unexported_;
    int unexportedCount_ = 0;
    bool headerFixed_ = false;
};

// Packing of one row's cells into a single byte string: per cell a length (7 bits a
// byte, high bit set on every byte but the last) followed by the cell's UTF-8 bytes.
std::string PackRow(const RowCells& cells);
// The same bytes from cells already in UTF-8.
std::string PackRow(const std::array<std::string_view, kColumnCount>& utf8Cells);
std::string UnpackCell(const std::string& packed, int column);
// All cells of a packed row in one pass, as views into `packed`.
std::array<std::string_view, kColumnCount> UnpackCellViews(std::string_view packed);

}  // namespace keldarn::points
