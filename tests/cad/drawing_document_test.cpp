// The automation interface of the drawing document, with the interactive pick replaced
// by a scripted one.

#include "cad/drawing_document.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace keldarn::cad {
namespace {

const std::vector<std::int16_t> kFilterTypes = {-4, -4, 0, -4, -4, 0, -4, -4};
const std::vector<std::string> kFilterData = {"<or",  "<and", "LWPolyline", "and>",
                                              "<and", "Text", "and>",       "or>"};

class Document : public testing::Test {
protected:
    void SetUp() override
    {
        document_.SetPicker([this] {
            ++pickerRuns_;
            return picks_;
        });
        IAcadModelSpace& space = document_.ModelSpace();
        space.AddPoint({458000.5, 3682000.25, 0.0});
        space.AddText("A", {458000.5, 3682000.25, 0.0}, 3.0);
        space.AddLightWeightPolyLine({0.0, 0.0, 10.0, 0.0, 10.0, 5.0});
        space.AddText("测点", {1.0, 2.0, 0.0}, 2.0);
    }

    DrawingDocument document_;
    std::optional<std::vector<EntityRef>> picks_;
    int pickerRuns_ = 0;
};

TEST_F(Document, VariablesAreFoundWithoutRegardToCase)
{
    EXPECT_DOUBLE_EQ(document_.GetVariable("LtScale"), 1.0);
    document_.Model().SetLtScale(2.5);
    for (const char* name : {"LTSCALE", "ltscale", "LtScale"})
        EXPECT_DOUBLE_EQ(document_.GetVariable(name), 2.5) << name;
    EXPECT_THROW(document_.GetVariable("TEXTSIZE_X"), AcadError);
}

TEST_F(Document, ModelSpaceAddsWhatTheConversionsDraw)
{
    const DrawingModel& model = document_.Model();
    ASSERT_EQ(model.Points().size(), 1u);
    EXPECT_DOUBLE_EQ(model.Points()[0].x, 458000.5);
    ASSERT_EQ(model.Texts().size(), 2u);
    EXPECT_EQ(model.TextOf(model.Texts()[1]), "测点");
    EXPECT_DOUBLE_EQ(model.Texts()[1].heightM, 2.0);
    ASSERT_EQ(model.Polylines().size(), 1u);
    EXPECT_FALSE(model.Polylines()[0].closed);
    EXPECT_EQ(model.Polylines()[0].vertexCount, 3u);
}

TEST_F(Document, ModelSpaceRefusesWhatNoDrawingCanHold)
{
    IAcadModelSpace& space = document_.ModelSpace();
    EXPECT_THROW(space.AddLightWeightPolyLine({1.0, 2.0}), AcadError);       // one vertex
    EXPECT_THROW(space.AddLightWeightPolyLine({1.0, 2.0, 3.0}), AcadError);  // odd count
    EXPECT_THROW(space.AddText("A", {0.0, 0.0, 0.0}, 0.0), AcadError);       // no height
    EXPECT_THROW(space.AddPoint({std::nan(""), 0.0, 0.0}), AcadError);
    EXPECT_EQ(document_.Model().EntityCount(), 4u);
}

TEST_F(Document, ManyAdditionsReportOneChangeUntilShown)
{
    int reports = 0;
    document_.SetChangedHook([&] { ++reports; });
    document_.ChangesShown();
    for (int i = 0; i < 1000; ++i)
        document_.ModelSpace().AddPoint({1.0 * i, 0.0, 0.0});
    EXPECT_EQ(reports, 1);
    document_.ChangesShown();
    document_.ModelSpace().AddText("B", {0.0, 0.0, 0.0}, 1.0);
    EXPECT_EQ(reports, 2);
}

TEST_F(Document, SelectionReadsPickedTextsAndPolylinesInPickOrder)
{
    picks_ = std::vector<EntityRef>{{EntityKind::Polyline, 0}, {EntityKind::Text, 1}, {EntityKind::Point, 0}};
    IAcadSelectionSet& set = document_.SelectionSets().Add("ssObj");
    set.SelectOnScreen(kFilterTypes, kFilterData);

    ASSERT_EQ(set.Count(), 2);  // the point does not pass the filter
    const IAcadEntity& polyline = set.Item(0);
    EXPECT_EQ(polyline.ObjectName(), "AcDbPolyline");
    EXPECT_FALSE(polyline.closed());
    EXPECT_EQ(polyline.Coordinates(), (std::vector<double>{0.0, 0.0, 10.0, 0.0, 10.0, 5.0}));
    EXPECT_EQ(polyline.Coordinate(2), (std::array<double, 2>{10.0, 5.0}));
    EXPECT_THROW(polyline.Coordinate(3), AcadError);
    EXPECT_THROW(polyline.Coordinate(-1), AcadError);
    EXPECT_THROW(polyline.TextString(), AcadError);

    const IAcadEntity& text = set.Item(1);
    EXPECT_EQ(text.ObjectName(), "AcDbText");
    EXPECT_EQ(text.TextString(), "测点");
    const Point3 insertion = text.InsertionPoint();
    EXPECT_DOUBLE_EQ(insertion.x, 1.0);
    EXPECT_DOUBLE_EQ(insertion.y, 2.0);
    Point3 lowerLeft, upperRight;
    text.GetBoundingBox(lowerLeft, upperRight);
    EXPECT_DOUBLE_EQ(lowerLeft.x, 1.0);
    EXPECT_DOUBLE_EQ(lowerLeft.y, 2.0);
    EXPECT_NEAR(upperRight.x, 1.0 + 2 * 2.0, 1e-6);  // two wide characters of height 2
    EXPECT_DOUBLE_EQ(upperRight.y, 4.0);
    EXPECT_THROW(text.closed(), AcadError);

    EXPECT_THROW(set.Item(2), AcadError);
    EXPECT_THROW(set.Item(-1), AcadError);
}

TEST_F(Document, OnlyTheTextOrPolylineFilterIsAccepted)
{
    IAcadSelectionSet& set = document_.SelectionSets().Add("ssObj");
    auto types = kFilterTypes;
    auto data = kFilterData;
    data[5] = "TEXT";  // names in any case
    picks_ = std::vector<EntityRef>{};
    EXPECT_NO_THROW(set.SelectOnScreen(types, data));

    data[5] = "Circle";
    EXPECT_THROW(set.SelectOnScreen(types, data), AcadError);
    EXPECT_THROW(set.SelectOnScreen({0}, {"Text"}), AcadError);
    EXPECT_THROW(set.SelectOnScreen({}, {}), AcadError);
    types[2] = 8;
    EXPECT_THROW(set.SelectOnScreen(types, kFilterData), AcadError);
    EXPECT_EQ(pickerRuns_, 1);  // a refused filter never starts a selection
}

TEST_F(Document, EscapeGivesAnEmptySetAndDeleteEndsTheHighlight)
{
    picks_ = std::vector<EntityRef>{{EntityKind::Text, 0}};
    IAcadSelectionSet& kept = document_.SelectionSets().Add("ssObj");
    kept.SelectOnScreen(kFilterTypes, kFilterData);
    EXPECT_EQ(document_.SelectedEntities(), (std::vector<EntityRef>{{EntityKind::Text, 0}}));

    picks_ = std::nullopt;  // Esc
    kept.SelectOnScreen(kFilterTypes, kFilterData);
    EXPECT_EQ(kept.Count(), 0);

    kept.Delete();
    EXPECT_FALSE(document_.HasSelectionSets());
    EXPECT_TRUE(document_.SelectedEntities().empty());
}

TEST_F(Document, ReplacingTheDrawingWaitsForTheCommandsSelection)
{
    IAcadSelectionSet& set = document_.SelectionSets().Add("ssObj");
    EXPECT_FALSE(document_.ReplaceModel(DrawingModel()));
    set.Delete();
    EXPECT_TRUE(document_.ReplaceModel(DrawingModel()));
    EXPECT_EQ(document_.Model().EntityCount(), 0u);
}

TEST_F(Document, ASecondSelectionCannotStartWhileOneRuns)
{
    IAcadSelectionSet& outer = document_.SelectionSets().Add("ssObj");
    bool innerRefused = false;
    document_.SetPicker([&]() -> std::optional<std::vector<EntityRef>> {
        // Another command started from the main window while the user picks.
        IAcadSelectionSet& inner = document_.SelectionSets().Add("other");
        try {
            inner.SelectOnScreen(kFilterTypes, kFilterData);
        } catch (const AcadError&) {
            innerRefused = true;
        }
        EXPECT_THROW(document_.SelectionSets().Add("ssObj"), AcadError);
        return std::vector<EntityRef>{{EntityKind::Text, 0}};
    });
    outer.SelectOnScreen(kFilterTypes, kFilterData);
    EXPECT_TRUE(innerRefused);
    EXPECT_EQ(outer.Count(), 1);
}

}  // namespace
}  // namespace keldarn::cad
