// Collected points survive a program that does not end normally: the next start
// offers the rows of the point table as they stood.

#include "points/point_journal.h"
#include "points/point_table_model.h"
#include "window_fixture.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include <csignal>
#include <functional>
#include <thread>

using keldarn::testing::WindowFixture;

namespace {

keldarn::earth::IPointOnTerrainGE SlowTerrain(double sx, double sy)
{
    std::this_thread::sleep_for(std::chrono::microseconds(100));
    return {33.27 + 0.005 * sy, 113.55 + 0.01 * sx, 100.0 + 10.0 * sx};
}

void PrepareSampling(keldarn::app::TFormMain* w, const char* spanM)
{
    w->EditLL->setText(QStringLiteral("114"));
    w->EditDx->setText(QString::fromUtf8(spanM));
    w->EditDy->setText(QString::fromUtf8(spanM));
    w->EditPd->setText(QStringLiteral("1"));
}

// The child process: a window with a slow viewer, sampling a grid far larger than it
// will finish before the parent kills it.
int RunSamplingChild(const QString& dir)
{
    keldarn::testing::FakeDialogs dialogs;
    keldarn::app::MainWindowEnvironment env;
    env.settingsPath = (dir + QStringLiteral("/Keldarn.ini")).toStdString();
    env.dialogs = &dialogs;
    keldarn::testing::FakeViewer* viewer = nullptr;
    env.createViewer = [&viewer] {
        auto fake = std::make_unique<keldarn::testing::FakeViewer>();
        fake->terrain = SlowTerrain;
        viewer = fake.get();
        return std::unique_ptr<keldarn::earth::IApplicationGE>(std::move(fake));
    };
    keldarn::app::TFormMain window(std::move(env));
    PrepareSampling(&window, "2000");
    window.Button5Click();
    while (window.SurveyTaskRunning())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return 0;
}

// A copy of the program on the settings file of `dir`, with a viewer, so that a start says
// nothing unless something is wrong.
std::unique_ptr<keldarn::app::TFormMain> StartCopy(const QTemporaryDir& dir,
                                                   keldarn::testing::FakeDialogs& dialogs)
{
    keldarn::app::MainWindowEnvironment env;
    env.settingsPath = dir.filePath(QStringLiteral("Keldarn.ini")).toStdString();
    env.dialogs = &dialogs;
    env.createViewer = [] {
        return std::unique_ptr<keldarn::earth::IApplicationGE>(new keldarn::testing::FakeViewer);
    };
    return std::make_unique<keldarn::app::TFormMain>(std::move(env));
}

QStringList PointNames(const keldarn::points::PointTableModel& table)
{
    QStringList names;
    for (int row = 1; row <= table.DataRowCount(); ++row)
        names << table.Cell(0, row);
    return names;
}

}  // namespace

class CrashRecoveryTest : public QObject {
    Q_OBJECT

private slots:
    void offersTheRowsOfAnAbnormalEnd();
    void declinedRowsAreKeptAsBackup();
    void normalEndLeavesNothingToRecover();
    void recoversEveryRowAfterAKillDuringSampling();
    void closingAsksForRowsNotExported();
    void backupGoesOnceItsRowsAreSettled();
    void everyCopyThatEndedAbnormallyIsOffered();
};

void CrashRecoveryTest::offersTheRowsOfAnAbnormalEnd()
{
    QTemporaryDir dir;
    {
        keldarn::points::PointTableModel table;
        keldarn::points::PointJournal journal((dir.path() + QStringLiteral("/Keldarn.journal")).toStdString(),
                                              table);
        table.AppendRows(
            {{"K1", "校正点", "1.000", "2.000", "3.000"}, {"K2", "", "4.000", "5.000", "6.000"}});
        // Destroyed without Finish: the program ended abnormally.
    }
    WindowFixture f;
    f.dialogs.answerYes = true;
    keldarn::app::MainWindowEnvironment env;
    env.settingsPath = (dir.path() + QStringLiteral("/Keldarn.ini")).toStdString();
    env.dialogs = &f.dialogs;
    f.dialogs.questions.clear();
    keldarn::app::TFormMain window(std::move(env));
    QCOMPARE(f.dialogs.questions.size(), 1);
    QVERIFY(f.dialogs.questions[0].contains(QStringLiteral("恢复上次未正常退出时的点表数据")));
    QCOMPARE(window.PointTable()->DataRowCount(), 2);
    QCOMPARE(window.PointTable()->Cell(1, 1), QStringLiteral("校正点"));
    QCOMPARE(window.PointTable()->Cell(4, 2), QStringLiteral("6.000"));
    QVERIFY(window.PointTable()->HeaderFixed());
}

void CrashRecoveryTest::declinedRowsAreKeptAsBackup()
{
    QTemporaryDir dir;
    const std::string journalPath = (dir.path() + QStringLiteral("/Keldarn.journal")).toStdString();
    {
        keldarn::points::PointTableModel table;
        keldarn::points::PointJournal journal(journalPath, table);
        table.AppendRow({"K1", "", "1", "2", "3"});
    }
    keldarn::testing::FakeDialogs dialogs;
    dialogs.answerYes = false;
    keldarn::app::MainWindowEnvironment env;
    env.settingsPath = (dir.path() + QStringLiteral("/Keldarn.ini")).toStdString();
    env.dialogs = &dialogs;
    keldarn::app::TFormMain window(std::move(env));
    QCOMPARE(window.PointTable()->DataRowCount(), 0);
    QCOMPARE(keldarn::points::ReadJournal(journalPath + ".bak")->packedRows.size(), std::size_t{1});
    QCOMPARE(keldarn::points::ReadJournal(journalPath)->packedRows.size(), std::size_t{0});
}

void CrashRecoveryTest::normalEndLeavesNothingToRecover()
{
    WindowFixture f;
    QTest::mouseClick(f.window->Button3, Qt::LeftButton);
    const std::filesystem::path journal = f.window->JournalPath();
    QCOMPARE(keldarn::points::ReadJournal(journal)->packedRows.size(), std::size_t{1});
    f.window->close();
    QVERIFY(!std::filesystem::exists(journal));
}

void CrashRecoveryTest::recoversEveryRowAfterAKillDuringSampling()
{
    QTemporaryDir dir;
    const std::string journalPath = (dir.path() + QStringLiteral("/Keldarn.journal")).toStdString();
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--sampling-child"), dir.path()});
    QVERIFY(child.waitForStarted());

    // Kill it without warning once a few thousand rows are in.
    std::size_t seen = 0;
    for (int wait = 0; wait < 600 && seen < 3000; ++wait) {
        QTest::qWait(50);
        try {
            if (const auto rows = keldarn::points::ReadJournal(journalPath))
                seen = rows->packedRows.size();
        } catch (const keldarn::points::JournalError&) {
            // Being replaced at this instant; look again.
        }
    }
    QVERIFY2(seen >= 3000, "the child never sampled enough rows");
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished());
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    keldarn::testing::FakeDialogs dialogs;
    dialogs.answerYes = true;
    keldarn::app::MainWindowEnvironment env;
    env.settingsPath = (dir.path() + QStringLiteral("/Keldarn.ini")).toStdString();
    env.dialogs = &dialogs;
    keldarn::app::TFormMain window(std::move(env));
    auto* table = window.PointTable();
    QVERIFY(table->DataRowCount() >= static_cast<int>(seen));

    // Every recovered row is the sampled point of its place in the grid, in order.
    WindowFixture reference(true);
    reference.viewer->terrain = [](double sx, double sy) {
        return keldarn::earth::IPointOnTerrainGE{33.27 + 0.005 * sy, 113.55 + 0.01 * sx, 100.0 + 10.0 * sx};
    };
    PrepareSampling(reference.window.get(), "2000");
    reference.window->EditDx->setText(QStringLiteral("0"));  // not used: rows computed below
    const int n = table->DataRowCount();
    for (int row = 1; row <= n; row += 997) {
        QCOMPARE(table->Cell(0, row), QString::number(row));
        const int index = row - 1, i = index / 2001, j = index % 2001;
        const auto p = reference.viewer->terrain(2.0 * j / 2000 - 1.0, 2.0 * i / 2000 - 1.0);
        QCOMPARE(table->Cell(4, row), QString::number(p.Altitude, 'f', 3));
    }
}

void CrashRecoveryTest::closingAsksForRowsNotExported()
{
    using Window = keldarn::app::TFormMain;
    const auto add = [](Window* w, int rows) {
        for (int i = 0; i < rows; ++i)
            w->PointTable()->AppendRow({QString::number(i + 1), "", "1.000", "2.000", "3.000"});
    };
    const auto exportTo = [](Window* w, keldarn::testing::FakeDialogs& dialogs, const QString& path) {
        dialogs.filePaths.push_back(path);
        QTest::mouseClick(w->Button2, Qt::LeftButton);  // as the user does: an error is shown
    };
    struct Case {
        const char* what;
        int journalRows;  // rows of an earlier run that did not end normally
        std::function<void(Window*, keldarn::testing::FakeDialogs&, const QTemporaryDir&)> work;
        int unexported;  // 0: no question
    };
    const std::vector<Case> cases = {
        {"typed", 0, [&](Window* w, auto&, auto&) { add(w, 2); }, 2},
        {"recovered from the journal", 3, [](Window*, auto&, auto&) {}, 3},
        {"exported", 0,
         [&](Window* w, auto& dialogs, auto& dir) {
             add(w, 2);
             exportTo(w, dialogs, dir.filePath("out.dat"));
         },
         0},
        {"edited after the export", 0,
         [&](Window* w, auto& dialogs, auto& dir) {
             add(w, 3);
             exportTo(w, dialogs, dir.filePath("out.dat"));
             auto* table = w->PointTable();
             table->setData(table->index(1, keldarn::points::kHColumn), QStringLiteral("4.500"),
                            Qt::EditRole);
         },
         1},
        {"deleted after the export", 0,
         [&](Window* w, auto& dialogs, auto& dir) {
             add(w, 3);
             exportTo(w, dialogs, dir.filePath("out.dat"));
             w->PointTable()->RemoveGridRow(2);
         },
         0},
        {"export failed", 0,
         [&](Window* w, auto& dialogs, auto& dir) {
             add(w, 2);
             exportTo(w, dialogs, dir.filePath("Keldarn.ini/out.dat"));  // under a file: never written
         },
         2},
        {"export cancelled", 0,
         [&](Window* w, auto& dialogs, auto&) {
             add(w, 2);
             exportTo(w, dialogs, QString());
         },
         2},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const std::string journalPath = dir.filePath(QStringLiteral("Keldarn.journal")).toStdString();
        if (c.journalRows > 0) {
            keldarn::points::PointTableModel table;
            keldarn::points::PointJournal journal(journalPath, table);
            for (int i = 0; i < c.journalRows; ++i)
                table.AppendRow({QString::number(i + 1), "", "1", "2", "3"});
        }
        QFile(dir.filePath(QStringLiteral("Keldarn.ini"))).open(QIODevice::WriteOnly);
        keldarn::testing::FakeDialogs dialogs;
        keldarn::app::MainWindowEnvironment env;
        env.settingsPath = dir.filePath(QStringLiteral("Keldarn.ini")).toStdString();
        env.dialogs = &dialogs;
        Window window(std::move(env));
        window.show();
        c.work(&window, dialogs, dir);
        dialogs.questions.clear();
        dialogs.answerYes = false;
        window.close();
        if (c.unexported > 0) {
            const QString question =
                QStringLiteral("点表中有%1个点尚未导出，退出后将丢失。是否退出？").arg(c.unexported);
            QVERIFY2(dialogs.defaultNoQuestions == QStringList{question}, c.what);
            // 否: the window stays, with its rows and their journal.
            QVERIFY2(window.isVisible(), c.what);
            QVERIFY2(std::filesystem::exists(journalPath), c.what);
            dialogs.answerYes = true;
            window.close();
        }
        QVERIFY2(dialogs.questions.size() == (c.unexported > 0 ? 2 : 0), c.what);
        QVERIFY2(!window.isVisible(), c.what);
        QVERIFY2(!std::filesystem::exists(journalPath), c.what);
    }
}

void CrashRecoveryTest::backupGoesOnceItsRowsAreSettled()
{
    struct Case {
        const char* what;
        bool restore;
        bool exportRows;
        bool backupAfterExport;
        bool backupAfterClose;
    };
    const Case cases[] = {
        {"restored, normal end", true, false, true, false},
        {"restored, all exported", true, true, false, false},
        {"declined: its rows exist only in the backup", false, true, true, true},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const std::string journalPath = dir.filePath(QStringLiteral("Keldarn.journal")).toStdString();
        {
            keldarn::points::PointTableModel table;
            keldarn::points::PointJournal journal(journalPath, table);
            table.AppendRow({"K1", "", "1", "2", "3"});
        }
        QFile(dir.filePath(QStringLiteral("Keldarn.ini"))).open(QIODevice::WriteOnly);
        keldarn::testing::FakeDialogs dialogs;
        dialogs.answerYes = c.restore;
        keldarn::app::MainWindowEnvironment env;
        env.settingsPath = dir.filePath(QStringLiteral("Keldarn.ini")).toStdString();
        env.dialogs = &dialogs;
        keldarn::app::TFormMain window(std::move(env));
        window.show();
        const std::filesystem::path backup = journalPath + ".bak";
        QVERIFY2(std::filesystem::exists(backup), c.what);
        if (c.exportRows) {
            if (!c.restore)
                window.PointTable()->AppendRow({"N1", "", "4", "5", "6"});
            dialogs.filePaths.push_back(dir.filePath(QStringLiteral("out.dat")));
            QTest::mouseClick(window.Button2, Qt::LeftButton);
            QVERIFY2(window.PointTable()->UnexportedRowCount() == 0, c.what);
        }
        QVERIFY2(std::filesystem::exists(backup) == c.backupAfterExport, c.what);
        dialogs.answerYes = true;  // leave with rows not exported
        window.close();
        QVERIFY2(!window.isVisible(), c.what);
        QVERIFY2(std::filesystem::exists(backup) == c.backupAfterClose, c.what);
    }
}

// Copies of the program running at once each keep a journal of their own. A start offers
// the rows of every copy that ended abnormally, in the order the copies started, and leaves
// the journal of a copy still running alone; rows recovered once are never offered again.
void CrashRecoveryTest::everyCopyThatEndedAbnormallyIsOffered()
{
    struct Case {
        const char* what;
        std::vector<bool> killed;  // the copies started earlier, in order; copy i holds i rows
        bool restore;
        QString question;
        QStringList offered;
    };
    const QStringList both = {"C1.1", "C2.1", "C2.2"};
    const Case cases[] = {
        {"both killed",
         {true, true},
         true,
         QStringLiteral("有2个Keldarn程序没有正常退出。恢复它们的点表数据（共3个点）？"),
         both},
        {"both killed, declined",
         {true, true},
         false,
         QStringLiteral("有2个Keldarn程序没有正常退出。恢复它们的点表数据（共3个点）？"),
         both},
        {"the first still running",
         {false, true},
         true,
         QStringLiteral("上次程序没有正常退出。恢复上次未正常退出时的点表数据（2个点）？"),
         {"C2.1", "C2.2"}},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        keldarn::testing::FakeDialogs dialogs;
        std::vector<std::unique_ptr<keldarn::app::TFormMain>> copies;
        for (std::size_t i = 1; i <= c.killed.size(); ++i) {
            copies.push_back(StartCopy(dir, dialogs));
            for (std::size_t row = 1; row <= i; ++row)
                copies.back()->PointTable()->AppendRow(
                    {QStringLiteral("C%1.%2").arg(i).arg(row), "", "1", "2", "3"});
        }
        for (std::size_t i = 0; i < c.killed.size(); ++i)
            if (c.killed[i])
                copies[i].reset();  // gone without its normal end
        dialogs.answerYes = c.restore;
        auto next = StartCopy(dir, dialogs);
        QVERIFY2(dialogs.questions == QStringList{c.question}, qPrintable(dialogs.questions.join('|')));
        QVERIFY2(PointNames(*next->PointTable()) == (c.restore ? c.offered : QStringList{}), c.what);
        // Whatever the answer, the rows are kept in the backup.
        const auto backup = keldarn::points::ReadJournal(next->RecoveryBackupPath());
        QVERIFY2(backup && backup->packedRows.size() == static_cast<std::size_t>(c.offered.size()), c.what);

        dialogs.questions.clear();
        auto another = StartCopy(dir, dialogs);
        QVERIFY2(dialogs.questions.isEmpty(), c.what);
        QVERIFY2(dialogs.MessageTexts().isEmpty(), qPrintable(dialogs.MessageTexts().join('|')));
    }
}

int main(int argc, char* argv[])
{
    if (argc == 3 && QByteArray(argv[1]) == "--sampling-child") {
        QApplication app(argc, argv);
        return RunSamplingChild(QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    CrashRecoveryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "crash_recovery_test.moc"
