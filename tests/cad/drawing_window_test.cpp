// The drawing window as the conversions and the user meet it: attaching through the
// host, picking on screen with simulated mouse and keys while the selection's local
// event loop runs, closing with unsaved changes, saving, and what the canvas paints.

#include "cad/drawing_canvas.h"
#include "cad/drawing_host.h"
#include "cad/dxf_reader.h"
#include "cad/dxf_writer.h"
#include "tests/cad/drawing_test_support.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace keldarn::cad {
namespace {

const std::vector<std::int16_t> kFilterTypes = {-4, -4, 0, -4, -4, 0, -4, -4};
const std::vector<std::string> kFilterData = {"<or",  "<and", "LWPolyline", "and>",
                                              "<and", "Text", "and>",       "or>"};

// Answers the window's questions as a test tells it and remembers what was asked.
struct ScriptedDialogs {
    QMessageBox::StandardButton saveAnswer = QMessageBox::Discard;
    bool lossAnswer = true;
    QString savePath;
    QStringList asked;
    QStringList errors;

    DrawingDialogs Make()
    {
        DrawingDialogs dialogs;
        dialogs.askSaveChanges = [this](QWidget*, const QString& text) {
            asked << text;
            return saveAnswer;
        };
        dialogs.confirmLoss = [this](QWidget*, const QString& text) {
            asked << text;
            return lossAnswer;
        };
        dialogs.showError = [this](QWidget*, const QString& text) { errors << text; };
        dialogs.chooseOpenPath = [](QWidget*) { return QString(); };
        dialogs.chooseSavePath = [this](QWidget*, const QString&) { return savePath; };
        return dialogs;
    }
};

// A drawing window opened through the host, holding (metres):
//   text "A" at (100, 100), height 5        point at (130, 100)
//   polyline P0 (120,120)-(140,120)-(140,140), inside the window (115,115)-(145,145)
//   polyline P1 (135,130)-(170,130), partly inside it
//   text "B" at (160, 90), height 5
class DrawingWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        host_.SetDialogs(dialogs_.Make());
        ASSERT_EQ(host_.Attach(), nullptr);
        host_.OpenNewDrawing(nullptr);
        app_ = host_.Attach();
        ASSERT_NE(app_, nullptr);
        IAcadModelSpace& space = app_->ActiveDocument().ModelSpace();
        space.AddText("A", {100.0, 100.0, 0.0}, 5.0);
        space.AddPoint({130.0, 100.0, 0.0});
        space.AddLightWeightPolyLine({120.0, 120.0, 140.0, 120.0, 140.0, 140.0});
        space.AddLightWeightPolyLine({135.0, 130.0, 170.0, 130.0});
        space.AddText("B", {160.0, 90.0, 0.0}, 5.0);
        window_ = host_.Window();
        window_->resize(800, 600);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_));
        QTest::qWait(20);  // the scheduled repaint fits the view to the drawing
    }

    DrawingCanvas& Canvas() { return window_->Canvas(); }

    QPoint At(double x, double y) { return Canvas().View().ToScreen(x, y).toPoint(); }

    void Drag(QPoint from, QPoint to)
    {
        QTest::mousePress(&Canvas(), Qt::LeftButton, {}, from);
        QTest::mouseMove(&Canvas(), (from + to) / 2);
        QTest::mouseMove(&Canvas(), to);
        QTest::mouseRelease(&Canvas(), Qt::LeftButton, {}, to);
    }

    // Runs SelectOnScreen on a new set while `user` acts inside its event loop.
    IAcadSelectionSet& Select(std::function<void()> user)
    {
        IAcadSelectionSet& set = app_->ActiveDocument().SelectionSets().Add("ssObj");
        QTimer::singleShot(0, window_, std::move(user));
        set.SelectOnScreen(kFilterTypes, kFilterData);
        return set;
    }

    std::vector<std::string> Texts(const IAcadSelectionSet& set)
    {
        std::vector<std::string> texts;
        for (int i = 0; i < set.Count(); ++i)
            texts.push_back(set.Item(i).ObjectName() == "AcDbText" ? set.Item(i).TextString() : "polyline");
        return texts;
    }

    ScriptedDialogs dialogs_;
    DrawingHost host_;
    IAcadApplication* app_ = nullptr;
    DrawingWindow* window_ = nullptr;
};

TEST_F(DrawingWindowTest, ClickPicksTextsInOrderAndEnterEnds)
{
    IAcadSelectionSet& set = Select([&] {
        QTest::mouseClick(&Canvas(), Qt::LeftButton, {}, At(161.0, 92.0));
        QTest::mouseClick(&Canvas(), Qt::LeftButton, {}, At(101.0, 102.0));
        QTest::mouseClick(&Canvas(), Qt::LeftButton, {}, At(130.0, 100.0));  // the point: not pickable
        QTest::keyClick(&Canvas(), Qt::Key_Return);
    });
    EXPECT_EQ(Texts(set), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(window_->Document().SelectedEntities().size(), 2u);  // highlighted until Delete
    set.Delete();
    EXPECT_TRUE(window_->Document().SelectedEntities().empty());
}

TEST_F(DrawingWindowTest, WindowToTheRightTakesWhatIsInsideToTheLeftWhatCrosses)
{
    IAcadSelectionSet& inside = Select([&] {
        Drag(At(115.0, 145.0), At(145.0, 115.0));
        QTest::keyClick(&Canvas(), Qt::Key_Return);
    });
    ASSERT_EQ(inside.Count(), 1);
    EXPECT_EQ(inside.Item(0).Coordinates(), (std::vector<double>{120.0, 120.0, 140.0, 120.0, 140.0, 140.0}));
    inside.Delete();

    IAcadSelectionSet& crossing = Select([&] {
        Drag(At(145.0, 145.0), At(115.0, 115.0));
        QTest::mouseClick(&Canvas(), Qt::RightButton, {}, At(50.0, 50.0));  // a right click ends too
    });
    EXPECT_EQ(Texts(crossing), (std::vector<std::string>{"polyline", "polyline"}));
    crossing.Delete();
}

TEST_F(DrawingWindowTest, EscapeEndsWithNothingPicked)
{
    IAcadSelectionSet& set = Select([&] {
        QTest::mouseClick(&Canvas(), Qt::LeftButton, {}, At(101.0, 102.0));
        QTest::keyClick(&Canvas(), Qt::Key_Escape);
    });
    EXPECT_EQ(set.Count(), 0);
    set.Delete();
}

TEST_F(DrawingWindowTest, ClosingTheWindowDuringSelectionEndsItEmptyAndDetaches)
{
    dialogs_.saveAnswer = QMessageBox::Discard;
    IAcadSelectionSet& set = Select([&] {
        QTest::mouseClick(&Canvas(), Qt::LeftButton, {}, At(101.0, 102.0));
        window_->close();
    });
    EXPECT_EQ(set.Count(), 0);
    EXPECT_EQ(host_.Attach(), nullptr);
    set.Delete();  // the command still ends its selection safely
    QTest::qWait(20);
    EXPECT_EQ(host_.Window(), nullptr);
}

TEST_F(DrawingWindowTest, ClosingWithUnsavedChangesAsks)
{
    dialogs_.saveAnswer = QMessageBox::Cancel;
    EXPECT_FALSE(window_->close());
    ASSERT_EQ(dialogs_.asked.size(), 1);
    EXPECT_TRUE(dialogs_.asked[0].contains(QStringLiteral("已修改")));
    EXPECT_EQ(host_.Attach(), app_);

    dialogs_.saveAnswer = QMessageBox::Discard;
    EXPECT_TRUE(host_.CloseDrawing());
    EXPECT_EQ(host_.Attach(), nullptr);
}

TEST_F(DrawingWindowTest, SavingWritesTheDrawingAndClearsTheModifiedMark)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_TRUE(window_->isWindowModified());
    dialogs_.savePath = dir.filePath("plan");  // the extension is added
    EXPECT_TRUE(window_->Save());
    EXPECT_EQ(window_->FilePath(), dir.filePath("plan.dxf"));
    EXPECT_FALSE(window_->isWindowModified());
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Keldarn 图形窗口 - plan.dxf[*]"));
    const DrawingModel saved = ReadDxfFile(dir.filePath("plan.dxf"));
    EXPECT_EQ(saved.EntityCount(), 5u);
    EXPECT_TRUE(window_->close());  // nothing to ask
    EXPECT_TRUE(dialogs_.asked.isEmpty());
}

TEST_F(DrawingWindowTest, ShiftClickTakesAPickedEntityOutAgain)
{
    IAcadSelectionSet& set = Select([&] {
        QTest::mouseClick(&Canvas(), Qt::LeftButton, {}, At(101.0, 102.0));
        QTest::mouseClick(&Canvas(), Qt::LeftButton, {}, At(161.0, 92.0));
        QTest::mouseClick(&Canvas(), Qt::LeftButton, Qt::ShiftModifier, At(101.0, 102.0));
        QTest::mouseClick(&Canvas(), Qt::LeftButton, {}, At(161.0, 92.0));  // twice: still once
        QTest::keyClick(&Canvas(), Qt::Key_Space);
    });
    EXPECT_EQ(Texts(set), (std::vector<std::string>{"B"}));
    set.Delete();
}

TEST_F(DrawingWindowTest, DrawingIsNotReplacedWhileACommandHoldsItsSelection)
{
    IAcadSelectionSet& set = app_->ActiveDocument().SelectionSets().Add("ssObj");
    EXPECT_FALSE(window_->NewDrawing());
    EXPECT_EQ(dialogs_.errors.size(), 1);
    EXPECT_EQ(window_->Document().Model().EntityCount(), 5u);

    set.Delete();
    dialogs_.saveAnswer = QMessageBox::Cancel;
    host_.OpenNewDrawing(nullptr);  // asks about the unsaved drawing: cancelled
    EXPECT_EQ(window_->Document().Model().EntityCount(), 5u);
    dialogs_.saveAnswer = QMessageBox::Discard;
    host_.OpenNewDrawing(nullptr);
    EXPECT_EQ(host_.Window(), window_);  // the same window, now empty
    EXPECT_EQ(window_->Document().Model().EntityCount(), 0u);
    EXPECT_EQ(dialogs_.asked.size(), 2);
}

TEST_F(DrawingWindowTest, AFailedSaveIsReportedAndTheDrawingStaysModified)
{
    dialogs_.savePath = QStringLiteral("/nonexistent-folder/plan.dxf");
    EXPECT_FALSE(window_->SaveAs());
    ASSERT_EQ(dialogs_.errors.size(), 1);
    EXPECT_TRUE(dialogs_.errors[0].contains(QStringLiteral("/nonexistent-folder/plan.dxf")));
    EXPECT_TRUE(window_->IsModified());
    EXPECT_TRUE(window_->FilePath().isEmpty());
}

TEST(DrawingWindowSave, ContentTheFileCannotHoldIsListedBeforeSaving)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    DrawingModel model;
    model.AddPoint(1.0, 2.0, 0.0);
    model.NoteUnsaved("多行文字 (MTEXT)", 3);
    DrawingWindow window(std::move(model), QString());
    ScriptedDialogs dialogs;
    window.SetDialogs(dialogs.Make());
    const QString path = dir.filePath("lossy.dxf");

    dialogs.lossAnswer = false;
    EXPECT_FALSE(window.SaveTo(path));
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_EQ(dialogs.asked.size(), 1);
    EXPECT_TRUE(dialogs.asked[0].contains(QStringLiteral("多行文字 (MTEXT)：3 个")));

    dialogs.lossAnswer = true;
    EXPECT_TRUE(window.SaveTo(path));
    EXPECT_TRUE(QFile::exists(path));
}

TEST(DrawingHostTest, OpeningABadFileOpensNoWindow)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("broken.dxf");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("  0\nSECTION\n  2\nENTITIES\n  0\nPOINT\n");
    file.close();

    DrawingHost host;
    EXPECT_EQ(host.Attach(), nullptr);
    EXPECT_THROW(host.OpenDxf(path), DxfError);
    EXPECT_EQ(host.Attach(), nullptr);

    host.OpenDxf(test::FixturePath("r12_gbk_no_codepage.dxf"));
    ASSERT_NE(host.Window(), nullptr);
    EXPECT_EQ(host.Window()->windowTitle(), QStringLiteral("Keldarn 图形窗口 - r12_gbk_no_codepage.dxf[*]"));
    EXPECT_DOUBLE_EQ(host.Attach()->ActiveDocument().GetVariable("LTSCALE"), 5.0);
}

TEST(DrawingCanvasTest, NorthIsUpOnTheCanvas)
{
    DrawingModel model;
    model.AddPoint(0.0, 0.0, 0.0);
    model.AddPoint(100.0, 100.0, 0.0);  // north-east: top right
    DrawingCanvas canvas;
    canvas.resize(400, 300);
    canvas.SetModel(&model);
    canvas.ZoomExtents();
    const QImage image = canvas.Render();
    const QColor background = DrawingRenderer::BackgroundColor();
    const QPoint northEast = canvas.View().ToScreen(100.0, 100.0).toPoint();
    EXPECT_LT(northEast.y(), 150);
    EXPECT_GT(northEast.x(), 200);
    bool drawn = false;  // the cross covers the pixel of its centre or a neighbour
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            drawn = drawn || image.pixelColor(northEast + QPoint(dx, dy)) != background;
    EXPECT_TRUE(drawn);
    EXPECT_EQ(image.pixelColor(northEast.x(), 300 - northEast.y()), background);  // nothing mirrored
}

TEST(DrawingCanvasTest, DeepZoomStillDrawsALongLineThroughTheView)
{
    DrawingModel model;
    const double line[] = {0.0, 0.0, 1e6, 0.0};
    model.AddPolyline(line, false);
    DrawingCanvas canvas;
    canvas.resize(400, 300);
    canvas.SetModel(&model);
    canvas.View().SetCenter(123456.789, 0.0);
    canvas.View().SetPixelsPerMetre(1e5);  // the ends lie 10¹⁰ px away
    const QImage image = canvas.Render();
    int drawn = 0;
    for (int x = 0; x < 400; x += 10)
        drawn += image.pixelColor(x, 150) != DrawingRenderer::BackgroundColor();
    EXPECT_EQ(drawn, 40);
}

}  // namespace
}  // namespace keldarn::cad
