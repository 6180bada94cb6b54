#include "points/point_table_model.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace keldarn::points {
namespace {

RowCells Cells(const std::array<std::string, kColumnCount>& utf8)
{
    RowCells cells;
    for (std::size_t c = 0; c < cells.size(); ++c)
        cells[c] = QString::fromStdString(utf8[c]);
    return cells;
}

std::vector<std::string> Names(const PointTableModel& table)
{
    std::vector<std::string> names;
    for (int row = 1; row < table.RowCount(); ++row)
        names.push_back(table.CellUtf8(kNameColumn, row));
    return names;
}

TEST(PackedRow, RoundTripsEveryCell)
{
    // Lengths on both sides of the one-, two- and three-byte length prefixes.
    const std::vector<std::array<std::string, kColumnCount>> rows = {
        {"K1", "校正点", "3682526.192", "458427.379", "85.120"},
        {"", "", "", "", ""},
        {"", "描述", "", "", "H"},
        {std::string(127, 'a'), std::string(128, 'b'), std::string(16383, 'c'), std::string(16384, 'd'),
         std::string(20000, 'e')},
        {"😀", "测量 " + std::string(200, 'x') + " 点", "\t 1.0 ", "-", "0"},
    };
    for (const auto& utf8 : rows) {
        const std::string packed = PackRow(Cells(utf8));
        const auto views = UnpackCellViews(packed);
        for (int c = 0; c < kColumnCount; ++c) {
            EXPECT_EQ(UnpackCell(packed, c), utf8[c]) << "column " << c;
            EXPECT_EQ(views[c], utf8[c]) << "column " << c;
        }
    }
}

TEST(PointTable, AppendsAtTheEndAndCountsTheTitleRow)
{
    PointTableModel table;
    EXPECT_EQ(table.RowCount(), 1);
    EXPECT_EQ(table.AppendRow(Cells({"K1", "", "1", "2", "3"})), 1);
    EXPECT_EQ(table.AppendRow(Cells({"K2", "", "1", "2", "3"})), 2);
    table.AppendRows({Cells({"K3", "", "", "", ""}), Cells({"K4", "", "", "", ""})});
    EXPECT_EQ(table.AppendRow(Cells({"K5", "", "", "", ""})), 5);
    EXPECT_EQ(table.RowCount(), 6);
    EXPECT_EQ(table.rowCount(), 5);
    EXPECT_EQ(Names(table), (std::vector<std::string>{"K1", "K2", "K3", "K4", "K5"}));
    EXPECT_EQ(table.CellView(kNameColumn, 0), "点号");
    EXPECT_EQ(table.Cell(kHColumn, 0), QStringLiteral("高程H"));
    EXPECT_EQ(table.CellView(kNameColumn, 6), "");
    EXPECT_EQ(table.CellView(5, 1), "");
}

TEST(PointTable, RemovesOneRowAndIgnoresTitleAndMissingRows)
{
    PointTableModel table;
    for (const char* name : {"K1", "K2", "K3", "K4"})
        table.AppendRow(Cells({name, "", "", "", ""}));
    table.RemoveGridRow(2);
    EXPECT_EQ(Names(table), (std::vector<std::string>{"K1", "K3", "K4"}));
    for (const int row : {0, -1, 4, 100})
        table.RemoveGridRow(row);
    EXPECT_EQ(Names(table), (std::vector<std::string>{"K1", "K3", "K4"}));
    table.RemoveGridRow(3);
    EXPECT_EQ(Names(table), (std::vector<std::string>{"K1", "K3"}));
    // A row appended after a removal starts from empty cells.
    table.AppendRow(Cells({"K5", "", "", "", ""}));
    EXPECT_EQ(table.CellUtf8(kHColumn, 3), "");
}

TEST(PointTable, TitleRowIsFixedOnlyOverData)
{
    PointTableModel table;
    int changes = 0;
    QObject::connect(&table, &PointTableModel::headerFixedChanged, [&changes](bool) { ++changes; });

    table.SetHeaderFixed(true);
    EXPECT_FALSE(table.HeaderFixed());
    EXPECT_EQ(changes, 0);

    table.AppendRow(Cells({"K1", "", "", "", ""}));
    table.AppendRow(Cells({"K2", "", "", "", ""}));
    table.SetHeaderFixed(true);
    EXPECT_TRUE(table.HeaderFixed());
    table.RemoveGridRow(1);
    EXPECT_TRUE(table.HeaderFixed());
    table.RemoveGridRow(1);
    EXPECT_FALSE(table.HeaderFixed());
    EXPECT_EQ(changes, 2);

    table.AppendRow(Cells({"K3", "", "", "", ""}));
    table.SetHeaderFixed(true);
    table.Clear();
    EXPECT_FALSE(table.HeaderFixed());
    EXPECT_EQ(table.RowCount(), 1);
    table.Clear();
    EXPECT_EQ(table.RowCount(), 1);
}

TEST(PointTable, EditingChangesOneCellOnly)
{
    PointTableModel table;
    table.AppendRow(Cells({"K1", "描述", "1.000", "2.000", "3.000"}));
    table.AppendRow(Cells({"K2", "", "4.000", "5.000", "6.000"}));

    EXPECT_TRUE(table.setData(table.index(0, kYColumn), QStringLiteral("  502.250 校正"), Qt::EditRole));
    EXPECT_FALSE(table.setData(table.index(0, kXColumn), QStringLiteral("9"), Qt::DisplayRole));

    const std::vector<std::string> first = {"K1", "描述", "1.000", "  502.250 校正", "3.000"};
    const std::vector<std::string> second = {"K2", "", "4.000", "5.000", "6.000"};
    for (int c = 0; c < kColumnCount; ++c) {
        EXPECT_EQ(table.CellUtf8(c, 1), first[c]) << "column " << c;
        EXPECT_EQ(table.CellUtf8(c, 2), second[c]) << "column " << c;
    }
    EXPECT_EQ(table.data(table.index(0, kYColumn), Qt::DisplayRole).toString(),
              QStringLiteral("  502.250 校正"));
}

TEST(PointTable, CountsRowsChangedSinceTheLastExport)
{
    PointTableModel table;
    const auto edit = [&table](int modelRow, const char* text) {
        table.setData(table.index(modelRow, kDescriptionColumn), QString::fromUtf8(text), Qt::EditRole);
    };
    const auto row = [](const char* name) { return Cells({name, "", "1", "2", "3"}); };
    struct Step {
        const char* what;
        std::function<void()> act;
        int unexported;
    };
    const std::vector<Step> steps = {
        {"three sampled",
         [&] {
             table.AppendRows({row("1"), row("2"), row("3")});
         },
         3},
        {"exported", [&] { table.MarkAllExported(); }, 0},
        {"first row edited twice",
         [&] {
             edit(0, "a");
             edit(0, "b");
         },
         1},
        {"second row given its own text", [&] { edit(1, ""); }, 1},
        {"exported second row deleted", [&] { table.RemoveGridRow(2); }, 1},
        {"edited first row deleted", [&] { table.RemoveGridRow(1); }, 0},
        {"two from the journal",
         [&] {
             table.AppendPackedRows({PackRow(row("4")), PackRow(row("5"))});
         },
         2},
        {"the exported row below the deletions edited", [&] { edit(0, "c"); }, 3},
        {"one typed", [&] { table.AppendRow(row("6")); }, 4},
        {"exported again", [&] { table.MarkAllExported(); }, 0},
        {"one more typed", [&] { table.AppendRow(row("7")); }, 1},
        {"cleared", [&] { table.Clear(); }, 0},
        {"typed into the empty table", [&] { table.AppendRow(row("8")); }, 1},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(table.UnexportedRowCount(), step.unexported) << step.what;
    }
}

}  // namespace
}  // namespace keldarn::points
