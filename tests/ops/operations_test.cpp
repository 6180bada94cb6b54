// The operations the window and keldarn-cli share, on values: a profile's rows for the point
// table, and the table's rows as elevation points in a drawing, with what the user is told.

#include "cad/drawing_model.h"
#include "ops/elevation_points.h"
#include "ops/profile.h"

#include <gtest/gtest.h>

#include <QString>

namespace keldarn::ops {
namespace {

survey::ProfileSample Sample(double chainageM, std::optional<double> heightM)
{
    survey::ProfileSample sample;
    sample.chainageM = chainageM;
    sample.x = 3300000.0 + chainageM;
    sample.y = 500000.0;
    sample.heightM = heightM;
    return sample;
}

TEST(ProfileRows, NamedByChainageFromTheStartWithTheSkippedCounted)
{
    const std::vector<survey::ProfileSample> samples = {Sample(0.0, 101.2344), Sample(100.0, std::nullopt),
                                                        Sample(150.25, 99.0)};
    struct Case {
        double startM;
        const char* firstName;
        const char* lastName;
    } cases[] = {{0.0, "K0+000.000", "K0+150.250"}, {1250.5, "K1+250.500", "K1+400.750"}};
    for (const Case& c : cases) {
        const ProfileTableRows rows = ProfileRowsForTable(samples, "渠线", c.startM);
        ASSERT_EQ(rows.cells.size(), 2u);
        EXPECT_EQ(rows.skipped, 1u);
        EXPECT_EQ(rows.cells[0][points::kNameColumn], QString::fromUtf8(c.firstName));
        EXPECT_EQ(rows.cells[1][points::kNameColumn], QString::fromUtf8(c.lastName));
        EXPECT_EQ(rows.cells[0][points::kDescriptionColumn], QStringLiteral("渠线"));
        EXPECT_EQ(rows.cells[0][points::kXColumn], QStringLiteral("3300000.000"));
        EXPECT_EQ(rows.cells[0][points::kHColumn], QStringLiteral("101.234"));
        EXPECT_EQ(ProfileRowsSummary(rows), "已把纵断面的2个点加入点表。有1个点没有地形数据，未加入。");
    }
}

TEST(ElevationPoints, RowsWithThreeNumbersAreDrawnWithTheirHeights)
{
    struct Case {
        std::vector<points::RowCells> rows;
        std::size_t drawn;
        std::size_t unreadable;
        const char* summary;
    } cases[] = {
        {{{"1", "", "3300000.000", "500000.000", "123.456"}, {"2", "", "甲", "500010.000", "1.000"}},
         1,
         1,
         "已把1个高程点画入CAD图形（图层“高程点”）。\n有1行的X、Y或H不是数字，没有画入。"},
        {{{"1", "", " 3300000 ", "500000", "123.456"}}, 1, 0, "已把1个高程点画入CAD图形（图层“高程点”）。"},
        {{{"1", "", "3300000", "500000", ""}}, 0, 1, nullptr},
    };
    for (const Case& c : cases) {
        points::PointTableModel table;
        table.AppendRows(c.rows);
        const ElevationPoints points = ElevationPointsOf(table);
        EXPECT_EQ(points.entries.size(), c.drawn);
        EXPECT_EQ(points.unreadable, c.unreadable);
        if (c.drawn == 0)
            continue;
        EXPECT_EQ(ElevationPointsSummary(points), c.summary);
        cad::DrawingModel model;
        DrawElevationPointsInto(model, points);
        // Drawing x is the easting, y the northing; the label to the centimetre.
        ASSERT_EQ(model.Points().size(), 1u);
        EXPECT_EQ(model.Points()[0].x, 500000.0);
        EXPECT_EQ(model.Points()[0].y, 3300000.0);
        EXPECT_EQ(model.Points()[0].z, 123.456);
        EXPECT_EQ(model.TextOf(model.Texts().back()), "123.46");
    }
}

}  // namespace
}  // namespace keldarn::ops
