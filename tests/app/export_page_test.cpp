// The export page: arranging the fields and writing the table to a file.

#include "points/import_reader.h"
#include "points/point_table_model.h"
#include "window_fixture.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using keldarn::testing::WindowFixture;

namespace {

QStringList Items(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

void Select(QListWidget* list, int row)
{
    list->setCurrentRow(row);
    list->item(row)->setSelected(true);
}

void AddPoint(keldarn::app::TFormMain* w, const QStringList& cells)
{
    w->PointTable()->AppendRow({cells[0], cells[1], cells[2], cells[3], cells[4]});
}

}  // namespace

class ExportPageTest : public QObject {
    Q_OBJECT

private slots:
    void movesFieldsBetweenLists();
    void movesWrapAround();
    void actionWithoutSelectionIsReported();
    void exportsDefaultLayout();
    void exportsChosenLayoutAndSeparator_data();
    void exportsChosenLayoutAndSeparator();
    void asksBeforeOverwriting();
    void cancelledDialogWritesNothing();
    void nothingToExportCreatesNoFile();
    void failedExportKeepsTheOldFile();
    void importedExportExportsTheSameBytes();
    void separatorInsideCellsIsSettledFirst();
};

void ExportPageTest::movesFieldsBetweenLists()
{
    WindowFixture f;
    auto* w = f.window.get();
    Select(w->ListBox2, 1);
    QTest::mouseClick(w->SpeedButton6, Qt::LeftButton);  // "<" moves 1描述 out
    QCOMPARE(Items(w->ListBox1), QStringList{"1描述"});
    QCOMPARE(Items(w->ListBox2), (QStringList{"0点名", "3Y坐标", "2X坐标", "4高程H"}));
    Select(w->ListBox2, 0);
    QTest::mouseClick(w->SpeedButton6, Qt::LeftButton);
    QTest::mouseClick(w->SpeedButton1, Qt::LeftButton);  // ">>" appends the candidates in their order
    QCOMPARE(Items(w->ListBox1), QStringList{});
    QCOMPARE(Items(w->ListBox2), (QStringList{"3Y坐标", "2X坐标", "4高程H", "1描述", "0点名"}));
    QTest::mouseClick(w->SpeedButton5, Qt::LeftButton);  // "<<"
    QCOMPARE(Items(w->ListBox2), QStringList{});
    QCOMPARE(Items(w->ListBox1), (QStringList{"3Y坐标", "2X坐标", "4高程H", "1描述", "0点名"}));
    Select(w->ListBox1, 2);
    QTest::mouseClick(w->SpeedButton2, Qt::LeftButton);  // ">"
    QCOMPARE(Items(w->ListBox2), QStringList{"4高程H"});
    QCOMPARE(Items(w->ListBox1).size() + Items(w->ListBox2).size(), 5);
}

void ExportPageTest::movesWrapAround()
{
    WindowFixture f;
    auto* w = f.window.get();
    Select(w->ListBox2, 0);
    QTest::mouseClick(w->SpeedButton3, Qt::LeftButton);  // the first moves up to the last place
    QCOMPARE(Items(w->ListBox2), (QStringList{"1描述", "3Y坐标", "2X坐标", "4高程H", "0点名"}));
    QTest::mouseClick(w->SpeedButton4, Qt::LeftButton);  // and down again to the first
    QCOMPARE(Items(w->ListBox2), (QStringList{"0点名", "1描述", "3Y坐标", "2X坐标", "4高程H"}));
    QTest::mouseClick(w->SpeedButton4, Qt::LeftButton);
    QTest::mouseClick(w->SpeedButton4, Qt::LeftButton);
    QCOMPARE(Items(w->ListBox2), (QStringList{"1描述", "3Y坐标", "0点名", "2X坐标", "4高程H"}));
    QCOMPARE(w->ListBox2->selectedItems().constFirst()->text(), QStringLiteral("0点名"));
}

void ExportPageTest::actionWithoutSelectionIsReported()
{
    WindowFixture f;
    auto* w = f.window.get();
    for (QPushButton* button : {w->SpeedButton2, w->SpeedButton3, w->SpeedButton4, w->SpeedButton6}) {
        f.dialogs.messages.clear();
        w->ListBox2->clearSelection();
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(f.dialogs.messages.size(), std::size_t{1});
        QCOMPARE(f.dialogs.messages[0].icon, keldarn::app::MessageIcon::Error);
        QCOMPARE(Items(w->ListBox2), (QStringList{"0点名", "1描述", "3Y坐标", "2X坐标", "4高程H"}));
        QCOMPARE(w->ListBox1->count(), 0);
    }
}

void ExportPageTest::exportsDefaultLayout()
{
    WindowFixture f;
    auto* w = f.window.get();
    AddPoint(w, {"K1", "校正点", "701.500", "502.250", "85.120"});
    AddPoint(w, {" K2 ", "", "1.000", "2.000", "3.000"});
    const QString path = f.dir.filePath(QStringLiteral("out.dat"));
    f.dialogs.filePaths.push_back(path);
    f.dialogs.messages.clear();
    // What a KML output left on the shared dialog does not leak into the export.
    w->SaveDialog1 = {QString(), QStringLiteral("GoogleEarth KML files (*.KML)|*.KML"), QStringLiteral("KML"),
                      QStringLiteral("CoordInfo")};
    QTest::mouseClick(w->Button2, Qt::LeftButton);

    QCOMPARE(f.dialogs.lastSaveOptions.title, QStringLiteral("坐标数据另存为..."));
    QCOMPARE(f.dialogs.lastSaveOptions.defaultSuffix, QStringLiteral("dat"));
    QCOMPARE(f.dialogs.lastSaveOptions.fileName, QString());
    QCOMPARE(f.dialogs.lastSaveOptions.filter,
             QStringLiteral("Text files (*.dat)|*.dat|Text files (*.txt)|*.txt|Text files (*.*)|*.*"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QByteArray("K1,\xD0\xA3\xD5\xFD\xB5\xE3,502.250,701.500,85.120\r\nK2,,2.000,1.000,3.000\r\n"));
    QCOMPARE(f.dialogs.MessageTexts(), QStringList{QStringLiteral("数据导出完毕！")});
    QVERIFY(f.dialogs.questions.isEmpty());
    QCOMPARE(w->StatusBar1->text(), QStringLiteral("数据导出完毕！"));
    QCOMPARE(w->ProgressBar1->value(), 0);
}

void ExportPageTest::exportsChosenLayoutAndSeparator_data()
{
    QTest::addColumn<QString>("separator");
    QTest::addColumn<bool>("onlyHeight");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty separator") << "" << false << QByteArray("A,1desc2.0001.0005.000\r\n");
    QTest::newRow("blank separator") << " " << false << QByteArray("A,1 desc 2.000 1.000 5.000\r\n");
    QTest::newRow("only the elevation") << ";" << true << QByteArray("5.000\r\n");
}

void ExportPageTest::exportsChosenLayoutAndSeparator()
{
    QFETCH(QString, separator);
    QFETCH(bool, onlyHeight);
    QFETCH(QByteArray, expected);
    WindowFixture f;
    auto* w = f.window.get();
    AddPoint(w, {"A,1", "desc", "1.000", "2.000", "5.000"});  // a comma that is not the separator stays
    w->MaskEditFgf->setText(separator);
    if (onlyHeight) {
        QTest::mouseClick(w->SpeedButton5, Qt::LeftButton);
        Select(w->ListBox1, 4);
        QTest::mouseClick(w->SpeedButton2, Qt::LeftButton);
    }
    const QString path = f.dir.filePath(QStringLiteral("out.txt"));
    f.dialogs.filePaths.push_back(path);
    QTest::mouseClick(w->Button2, Qt::LeftButton);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expected);
}

void ExportPageTest::asksBeforeOverwriting()
{
    WindowFixture f;
    auto* w = f.window.get();
    AddPoint(w, {"K1", "", "1", "2", "3"});
    const QString path = f.WriteFile(QStringLiteral("old.dat"), "old content that is longer\r\n");

    f.dialogs.answerYes = false;
    f.dialogs.filePaths.push_back(path);
    QTest::mouseClick(w->Button2, Qt::LeftButton);
    QCOMPARE(f.dialogs.questions, QStringList{QStringLiteral("文件已存在,覆盖吗?")});
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("old content that is longer\r\n"));
    file.close();

    f.dialogs.answerYes = true;
    f.dialogs.filePaths.push_back(path);
    QTest::mouseClick(w->Button2, Qt::LeftButton);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("K1,,2,1,3\r\n"));
}

void ExportPageTest::cancelledDialogWritesNothing()
{
    WindowFixture f;
    auto* w = f.window.get();
    AddPoint(w, {"K1", "", "1", "2", "3"});
    f.dialogs.messages.clear();
    QTest::mouseClick(w->Button2, Qt::LeftButton);  // no path queued: the dialog is cancelled
    QVERIFY(f.dialogs.messages.empty());
    QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Keldarn.journal")});
    QCOMPARE(w->StatusBar1->text(), QString());
}

void ExportPageTest::nothingToExportCreatesNoFile()
{
    WindowFixture f;
    auto* w = f.window.get();
    const QString path = f.dir.filePath(QStringLiteral("empty.dat"));
    f.dialogs.filePaths.push_back(path);
    f.dialogs.messages.clear();
    QTest::mouseClick(w->Button2, Qt::LeftButton);
    QCOMPARE(f.dialogs.messages.size(), std::size_t{1});
    QVERIFY(!QFile::exists(path));

    AddPoint(w, {"K1", "", "1", "2", "3"});
    QTest::mouseClick(w->SpeedButton5, Qt::LeftButton);
    f.dialogs.messages.clear();
    QTest::mouseClick(w->Button2, Qt::LeftButton);
    QCOMPARE(f.dialogs.messages.size(), std::size_t{1});
    QVERIFY(f.dialogs.messages[0].text != QStringLiteral("数据导出完毕！"));
    QVERIFY(!QFile::exists(path));
}

void ExportPageTest::failedExportKeepsTheOldFile()
{
    WindowFixture f;
    auto* w = f.window.get();
    AddPoint(w, {"K1", "", "1", "2", "3"});
    // A target under a regular file can never be written, even by root.
    f.WriteFile(QStringLiteral("blocker"), "x");
    f.dialogs.filePaths.push_back(f.dir.filePath(QStringLiteral("blocker/out.dat")));
    f.dialogs.messages.clear();
    QTest::mouseClick(w->Button2, Qt::LeftButton);
    QCOMPARE(f.dialogs.messages.size(), std::size_t{1});
    QCOMPARE(f.dialogs.messages[0].icon, keldarn::app::MessageIcon::Error);
    QVERIFY(f.dialogs.messages[0].text.contains(QStringLiteral("out.dat")));
    QCOMPARE(w->ProgressBar1->value(), 0);
    QVERIFY(w->StatusBar1->text() != QStringLiteral("数据导出完毕！"));
}

void ExportPageTest::importedExportExportsTheSameBytes()
{
    WindowFixture f;
    auto* w = f.window.get();
    AddPoint(w, {"K1", "校正点", "701.500", "502.250", "85.120"});
    AddPoint(w, {" 𠀀2 ", "", "-1.5e3", "2", "0"});  // outside GBK, written in four GB18030 bytes
    AddPoint(w, {"水塔", "东北角", "3512345.678", "512345.678", "97.000"});
    const QString first = f.dir.filePath(QStringLiteral("first.dat"));
    const QString second = f.dir.filePath(QStringLiteral("second.dat"));
    f.dialogs.filePaths = {first, first, second};
    QTest::mouseClick(w->Button2, Qt::LeftButton);
    w->N3Click();
    f.dialogs.messages.clear();
    for (QAction* action : w->MFile->actions()) {
        if (action->text() == QStringLiteral("导入数据..."))
            action->trigger();
    }
    QTRY_VERIFY(!w->SurveyTaskRunning());
    QVERIFY(f.dialogs.messages.empty());
    QCOMPARE(f.dialogs.lastOpenOptions.title, QStringLiteral("导入坐标数据"));
    QCOMPARE(w->PointTable()->DataRowCount(), 3);
    QCOMPARE(w->StatusBar1->text(), QStringLiteral("已导入 3 个点"));
    QTest::mouseClick(w->Button2, Qt::LeftButton);

    QFile a(first);
    QFile b(second);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray exported = a.readAll();
    QVERIFY(exported.contains("\x95\x32\x82\x36"));  // U+20000 in GB18030
    QCOMPARE(b.readAll(), exported);
}

void ExportPageTest::separatorInsideCellsIsSettledFirst()
{
    WindowFixture f;
    auto* w = f.window.get();
    AddPoint(w, {"K1", "", "1.000", "2.000", "3.000"});
    for (int i = 2; i <= 12; ++i)
        AddPoint(w, {QStringLiteral("N,%1").arg(i), "road,east", "701.500", "502.250", "85.120"});
    AddPoint(w, {"N13", " two\r\nlines ", "1.000", "2.000", "3.000"});
    const QString path = f.dir.filePath(QStringLiteral("out.dat"));

    // Cancelled: no file is chosen or written, the table stays.
    f.dialogs.filePaths.push_back(path);
    QTest::mouseClick(w->Button2, Qt::LeftButton);
    QCOMPARE(f.dialogs.separatorPrompts.size(), 1);
    const QString prompt = f.dialogs.separatorPrompts[0];
    QVERIFY2(prompt.contains(QStringLiteral("第2行 N,2\n第3行 N,3")) &&
                 prompt.contains(QStringLiteral("第11行 N,11")) &&
                 !prompt.contains(QStringLiteral("第1行")) && !prompt.contains(QStringLiteral("第12行")) &&
                 prompt.contains(QStringLiteral("……另有 2 行")) && prompt.endsWith(QStringLiteral("|_")),
             qPrintable(prompt));
    QCOMPARE(f.dialogs.filePaths.size(), std::size_t{1});
    QVERIFY(!QFile::exists(path));
    QCOMPARE(w->PointTable()->Cell(0, 2), QStringLiteral("N,2"));

    // A separator that numbers are written with is refused before anything is asked.
    w->MaskEditFgf->setText(QStringLiteral("."));
    f.dialogs.messages.clear();
    QTest::mouseClick(w->Button2, Qt::LeftButton);
    QCOMPARE(f.dialogs.messages.size(), std::size_t{1});
    QCOMPARE(f.dialogs.messages[0].icon, keldarn::app::MessageIcon::Error);
    QVERIFY2(f.dialogs.messages[0].text.contains(QStringLiteral("第1行 K1")),
             qPrintable(f.dialogs.messages[0].text));
    QCOMPARE(f.dialogs.separatorPrompts.size(), 1);
    QVERIFY(!QFile::exists(path));

    // Replaced: the table and the file agree, and the file reads back row for row.
    w->MaskEditFgf->setText(QStringLiteral(","));
    f.dialogs.separatorReplacements.push_back(QStringLiteral("_"));
    QTest::mouseClick(w->Button2, Qt::LeftButton);
    QCOMPARE(f.dialogs.filePaths.size(), std::size_t{0});
    const keldarn::points::ExportLayout layout{{0, 1, 3, 2, 4}, ","};
    const std::vector<std::string> rows = keldarn::points::ReadPointsFile(path.toStdString(), layout);
    QCOMPARE(rows.size(), std::size_t{13});
    const auto row2 = keldarn::points::UnpackCellViews(rows[1]);
    QCOMPARE(row2[0], "N_2");
    QCOMPARE(row2[1], "road_east");
    QCOMPARE(row2[3], "502.250");
    QCOMPARE(keldarn::points::UnpackCellViews(rows[12])[1], "two_lines");
    QCOMPARE(w->PointTable()->Cell(0, 2), QStringLiteral("N_2"));
    QCOMPARE(w->PointTable()->Cell(1, 13), QStringLiteral(" two_lines "));
    QCOMPARE(w->PointTable()->UnexportedRowCount(), 0);
}

QTEST_MAIN(ExportPageTest)
#include "export_page_test.moc"
