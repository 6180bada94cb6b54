// The drawing's pieces that need no window: DXF text escapes and code pages, estimated
// text boxes, bulged segments, window and crossing tests, and the view transform.

#include "cad/drawing_geometry.h"
#include "cad/drawing_pick.h"
#include "cad/drawing_view.h"
#include "cad/dxf_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace keldarn::cad {
namespace {

TEST(DxfText, EscapesRoundTripEveryCharacter)
{
    struct Case {
        const char* utf8;
        const char* escaped;
    };
    const Case cases[] = {
        {"A-12 (x)", "A-12 (x)"},
        {"测点1", "\\U+6D4B\\U+70B91"},
        {"50\xC2\xB0", "50\\U+00B0"},
        {"\xF0\x9F\x98\x80", "\\U+D83D\\U+DE00"},  // beyond the BMP: a surrogate pair
        {"a\tb\nc", "a\\U+0009b\\U+000Ac"},        // control characters never break a line
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(EncodeDxfText(c.utf8), c.escaped);
        EXPECT_EQ(DecodeDxfEscapes(c.escaped), c.utf8);
    }
}

TEST(DxfText, DecodingAcceptsOtherWritersAndLeavesMalformedEscapes)
{
    EXPECT_EQ(DecodeDxfEscapes("\\U+6d4b"), "测");              // lower-case hex (ezdxf)
    EXPECT_EQ(DecodeDxfEscapes("\\M+5B2E2\\M+2A4A4"), "测中");  // GB2312 and Big5 bytes
    EXPECT_EQ(DecodeDxfEscapes("\\U+D83Dx"), "\xEF\xBF\xBDx");  // lone surrogate: U+FFFD
    EXPECT_EQ(DecodeDxfEscapes("C:\\U+12 \\M+9ABCD"), "C:\\U+12 \\M+9ABCD");
    EXPECT_EQ(EncodeDxfText("\xFF"
                            "A"),
              "\\U+FFFDA");  // invalid UTF-8 byte
}

TEST(DxfText, NamesAreGbkBytesUnlessGbkLacksACharacter)
{
    EXPECT_EQ(EncodeDxfName("Layer-1"), "Layer-1");
    EXPECT_EQ(EncodeDxfName("控制点"), "\xBF\xD8\xD6\xC6\xB5\xE3");
    EXPECT_EQ(EncodeDxfName("\xF0\x9F\x98\x80"), "\\U+D83D\\U+DE00");
}

TEST(DxfText, CodePagesNameTheirEncodings)
{
    EXPECT_EQ(IconvNameOfCodePage("ANSI_936"), "GB18030");
    EXPECT_EQ(IconvNameOfCodePage("ansi_1252"), "CP1252");
    EXPECT_EQ(IconvNameOfCodePage("ANSI_950"), "BIG5");
    EXPECT_EQ(IconvNameOfCodePage("DOS437"), "CP437");
    EXPECT_EQ(IconvNameOfCodePage("ASCII"), "");
}

TEST(DxfText, DecoderFollowsVersionAndCodePage)
{
    const std::string gbk = "\xB2\xE2\xB5\xE3";  // 测点 in GBK
    DxfTextDecoder decoder;
    EXPECT_EQ(decoder.Decode(gbk), "测点");  // no header yet: not UTF-8, so GB18030
    decoder.SetVersion("AC1015");
    decoder.SetCodePage("ANSI_1252");
    EXPECT_EQ(decoder.Decode("50\xB0"), "50\xC2\xB0");
    decoder.SetCodePage("ANSI_936");
    EXPECT_EQ(decoder.Decode(gbk + "\\U+0041"), "测点A");
    decoder.SetVersion("AC1032");  // R2018: UTF-8 whatever the code page says
    EXPECT_EQ(decoder.Decode("测点"), "测点");
}

TEST(DxfText, DisplayResolvesPercentCodes)
{
    EXPECT_EQ(DisplayTextOf("%%c25 45%%d %%p0.5 100%%%"), "\u230025 45\u00B0 \u00B10.5 100%");
    EXPECT_EQ(DisplayTextOf("%%uA%%u%%065"), "AA");
}

TEST(TextBoxes, WidthCountsWideCharactersAsOneHeightAndOthersAsEightTenths)
{
    DrawingModel model;
    model.AddText("AB测", 10.0, 20.0, 0.0, 2.0);
    const DrawingBox box = TextBox(model.Texts()[0]);
    EXPECT_DOUBLE_EQ(box.minX, 10.0);
    EXPECT_DOUBLE_EQ(box.minY, 20.0);
    EXPECT_NEAR(box.maxX, 10.0 + 2.0 * (0.8 + 0.8 + 1.0), 1e-6);
    EXPECT_DOUBLE_EQ(box.maxY, 22.0);
}

TEST(TextBoxes, RotationAndJustificationMoveTheBox)
{
    DrawingModel model;
    DrawingText text;
    text.heightM = 1.0;
    text.rotationRad = std::numbers::pi / 2;  // reads upwards
    model.AddText(text, "AB");
    DrawingBox box = TextBox(model.Texts()[0]);
    EXPECT_NEAR(box.minX, -1.0, 1e-12);
    EXPECT_NEAR(box.maxX, 0.0, 1e-12);
    EXPECT_NEAR(box.maxY, 1.6, 1e-6);

    text.rotationRad = 0.0;
    text.hJust = 2;  // right, at the alignment point
    text.alignX = 10.0;
    text.alignY = 5.0;
    model.AddText(text, "AB");
    box = TextBox(model.Texts()[1]);
    EXPECT_NEAR(box.minX, 8.4, 1e-6);
    EXPECT_NEAR(box.maxX, 10.0, 1e-12);
    EXPECT_DOUBLE_EQ(box.minY, 5.0);
}

TEST(Bulges, PositiveBulgeOfOneIsACounterClockwiseHalfCircle)
{
    const double xy[] = {0.0, 0.0, 2.0, 0.0};
    const double bulges[] = {1.0, 0.0};
    std::vector<DrawingXY> points;
    AppendPolylinePoints(xy, bulges, false, points);
    ASSERT_GT(points.size(), 10u);
    double lowest = 0.0;
    for (const DrawingXY& p : points) {
        EXPECT_NEAR(std::hypot(p.x - 1.0, p.y), 1.0, 1e-12);
        lowest = std::min(lowest, p.y);
    }
    EXPECT_NEAR(lowest, -1.0, 1e-3);  // counter-clockwise from (0, 0) to (2, 0) passes below
    EXPECT_DOUBLE_EQ(points.back().x, 2.0);
}

class Picking : public testing::Test {
protected:
    void SetUp() override
    {
        const double inside[] = {1, 1, 4, 1, 4, 4};
        const double across[] = {3, 3, 8, 3};
        const double passing[] = {-1, 2, 6, 2.5};  // both ends outside the window, crosses it
        model_.AddPolyline(inside, false);
        model_.AddPolyline(across, false);
        model_.AddPolyline(passing, false);
        model_.AddText("T", 2.0, 2.0, 0.0, 0.5);
        model_.AddPoint(2.0, 2.0, 0.0);
        window_.Add(0.0, 0.0);
        window_.Add(5.0, 5.0);
    }

    DrawingModel model_;
    DrawingBox window_;
    const EntityKind kinds_[2] = {EntityKind::Text, EntityKind::Polyline};
};

TEST_F(Picking, WindowTakesWhatLiesInsideCrossingAlsoWhatTouchesIt)
{
    const auto inside = EntitiesInWindow(model_, window_, false, kinds_);
    EXPECT_EQ(inside, (std::vector<EntityRef>{{EntityKind::Text, 0}, {EntityKind::Polyline, 0}}));
    const auto crossing = EntitiesInWindow(model_, window_, true, kinds_);
    EXPECT_EQ(crossing.size(), 4u);  // the text and all three polylines; never the point
}

TEST_F(Picking, ClickTakesTheNearestWithinTolerance)
{
    EXPECT_EQ(NearestEntity(model_, {6.0, 3.05}, 0.1, kinds_), (EntityRef{EntityKind::Polyline, 1}));
    EXPECT_EQ(NearestEntity(model_, {2.1, 2.1}, 0.1, kinds_), (EntityRef{EntityKind::Text, 0}));
    EXPECT_FALSE(NearestEntity(model_, {6.0, 3.5}, 0.1, kinds_));
}

TEST(View, NorthIsUpAndZoomKeepsThePointUnderTheMouse)
{
    DrawingView view;
    view.SetCanvasSize(800, 600);
    view.SetCenter(458000.0, 3682000.0);
    view.SetPixelsPerMetre(2.0);
    EXPECT_EQ(view.ToScreen(458000.0, 3682000.0), QPointF(400.0, 300.0));
    EXPECT_EQ(view.ToScreen(458010.0, 3682010.0), QPointF(420.0, 280.0));  // east right, north up

    const QPointF mouse(123.0, 456.0);
    const DrawingXY before = view.ToDrawing(mouse);
    view.ZoomAbout(mouse, 3.0);
    const DrawingXY after = view.ToDrawing(mouse);
    EXPECT_NEAR(after.x, before.x, 1e-6);
    EXPECT_NEAR(after.y, before.y, 1e-6);
    EXPECT_DOUBLE_EQ(view.PixelsPerMetre(), 6.0);

    DrawingBox box;
    box.Add(0.0, 0.0);
    box.Add(1000.0, 100.0);
    view.Fit(box, 0.0);
    EXPECT_DOUBLE_EQ(view.PixelsPerMetre(), 0.8);  // the width decides
    EXPECT_TRUE(view.VisibleBox().Contains(box));
}

}  // namespace
}  // namespace keldarn::cad
