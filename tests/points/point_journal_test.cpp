#include "points/journal_folder.h"
#include "points/point_journal.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>

#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>

namespace keldarn::points {
namespace {

namespace fs = std::filesystem;

class PointJournalTest : public ::testing::Test {
protected:
    PointJournalTest()
        : dir_(fs::temp_directory_path() / ("keldarn_journal_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name())),
          path_(dir_ / "Keldarn.journal")
    {
        fs::create_directories(dir_);
    }
    ~PointJournalTest() override { fs::remove_all(dir_); }

    static std::vector<std::string> Rows(const PointTableModel& table)
    {
        std::vector<std::string> rows;
        for (int row = 1; row < table.RowCount(); ++row)
            rows.push_back(table.PackedRow(row));
        return rows;
    }
    std::vector<std::string> Recovered() const { return ReadJournal(path_).value().packedRows; }
    std::string Bytes() const
    {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void WriteBytes(const std::string& bytes) const
    {
        std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes;
    }

    fs::path dir_;
    fs::path path_;
};

RowCells Point(int n)
{
    return {QStringLiteral("K%1").arg(n), QStringLiteral("校正点"), QStringLiteral("%1.000").arg(3682526 + n),
            QStringLiteral("458427.379"), QStringLiteral("85.120")};
}

TEST_F(PointJournalTest, ReplaysEveryKindOfChange)
{
    PointTableModel table;
    table.AppendRow(Point(1));  // before the journal starts: part of its snapshot
    PointJournal journal(path_, table);
    table.AppendRows({Point(2), Point(3), Point(4), Point(5)});
    table.RemoveGridRow(2);
    table.setData(table.index(1, kDescriptionColumn), QStringLiteral("房角 A&B"), Qt::EditRole);
    table.AppendRow(Point(6));
    EXPECT_EQ(Recovered(), Rows(table));

    table.Clear();
    table.AppendRow(Point(7));
    EXPECT_EQ(Recovered(), Rows(table));
    EXPECT_FALSE(ReadJournal(path_)->damagedTail);
}

TEST_F(PointJournalTest, ATornOrDamagedRecordGivesTheStateBeforeIt)
{
    PointTableModel table;
    PointJournal journal(path_, table);
    table.AppendRows({Point(1), Point(2)});
    const std::vector<std::string> before = Rows(table);
    const std::size_t sizeBefore = Bytes().size();
    table.AppendRows({Point(3), Point(4)});
    const std::string full = Bytes();

    // A crash may cut the last record anywhere: every cut replays to the old state.
    for (std::size_t cut = sizeBefore; cut < full.size(); ++cut) {
        WriteBytes(full.substr(0, cut));
        const auto recovered = ReadJournal(path_);
        ASSERT_TRUE(recovered);
        EXPECT_EQ(recovered->packedRows, before) << "cut at " << cut;
        EXPECT_EQ(recovered->damagedTail, cut > sizeBefore);
    }
    // A flipped bit in the last record is caught by its checksum.
    std::string damaged = full;
    damaged[sizeBefore + 20] ^= 0x04;
    WriteBytes(damaged);
    EXPECT_EQ(Recovered(), before);
}

// A large append is written in records of bounded size (an import of millions of rows
// is never copied whole into one record): cut after any of them but the last, the
// journal replays to the table before the append.
TEST_F(PointJournalTest, ALargeAppendCountsOnlyWhole)
{
    PointTableModel table;
    PointJournal journal(path_, table);
    table.AppendRow(Point(0));
    const std::vector<std::string> before = Rows(table);
    const std::size_t sizeBefore = Bytes().size();
    std::vector<RowCells> many;
    for (int n = 1; n <= 120'000; ++n)  // about 6 MB, below the size that compacts the journal
        many.push_back(Point(n));
    table.AppendRows(many);
    const std::string full = Bytes();

    std::vector<std::size_t> recordEnds;
    for (std::size_t at = sizeBefore; at + 5 <= full.size();) {
        std::uint32_t size = 0;
        std::memcpy(&size, full.data() + at + 1, 4);  // little-endian, as this machine
        at += 9 + std::size_t{size};
        recordEnds.push_back(at);
    }
    ASSERT_GE(recordEnds.size(), 2u);
    ASSERT_EQ(recordEnds.back(), full.size());
    for (std::size_t k = 0; k + 1 < recordEnds.size(); ++k) {
        WriteBytes(full.substr(0, recordEnds[k]));
        EXPECT_EQ(Recovered(), before) << "cut after record " << k;
    }
    WriteBytes(full);
    EXPECT_EQ(Recovered(), Rows(table));
}

TEST_F(PointJournalTest, ANormalEndRemovesTheJournal)
{
    PointTableModel table;
    {
        PointJournal journal(path_, table);
        table.AppendRow(Point(1));
        journal.Finish();
    }
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_FALSE(ReadJournal(path_));
    // Without Finish (a crash) the journal stays.
    {
        PointJournal journal(path_, table);
    }
    EXPECT_EQ(Recovered(), Rows(table));
}

TEST_F(PointJournalTest, OneInstanceHoldsTheJournal)
{
    PointTableModel table;
    EXPECT_FALSE(JournalInUse(path_));
    PointJournal journal(path_, table);
    EXPECT_TRUE(JournalInUse(path_));
    PointTableModel other;
    EXPECT_THROW(PointJournal(path_, other), JournalError);
}

TEST_F(PointJournalTest, RefusesAFileThatIsNoJournal)
{
    WriteBytes("[GEwin]\n");
    EXPECT_THROW(ReadJournal(path_), JournalError);
    PointTableModel table;
    EXPECT_THROW(PointJournal(dir_ / "missing" / "Keldarn.journal", table), JournalError);
}

// The journal of an earlier run that ended badly is still there when a new journal
// cannot be written whole (a full disk, here a file size limit): nothing is lost.
TEST_F(PointJournalTest, SnapshotThatCannotBeWrittenLeavesTheEarlierJournal)
{
    PointTableModel earlier;
    {
        PointJournal journal(path_, earlier);
        earlier.AppendRows({Point(1), Point(2)});
    }
    const std::string earlierBytes = Bytes();
    PointTableModel table;
    for (int i = 0; i < 2000; ++i)
        table.AppendRow(Point(i));

    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved;
    lowered.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lowered), 0);
    try {
        PointJournal journal(path_, table);
        ADD_FAILURE() << "a snapshot larger than the limit was written";
    } catch (const JournalError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "无法写入点表恢复文件 " + path_.string() + "：文件超出允许的大小");
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(Bytes(), earlierBytes);
    EXPECT_EQ(Recovered(), Rows(earlier));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(PointJournalTest, LongRunsAreCompactedAndStayExact)
{
    PointTableModel table;
    PointJournal journal(path_, table);
    for (int batch = 0; batch < 300; ++batch) {
        std::vector<RowCells> rows;
        for (int i = 0; i < 1000; ++i)
            rows.push_back(Point(batch * 1000 + i));
        table.AppendRows(rows);
        table.RemoveGridRow(1);
    }
    const std::uintmax_t tableBytes = 299700u * 45u;
    EXPECT_LT(fs::file_size(path_), 3 * tableBytes);
    EXPECT_EQ(Recovered(), Rows(table));
}

// Copies starting together take names of their own; a journal held (by a running copy, or by
// a copy recovering it) is never anyone's orphan, and files outside the series are ignored.
TEST_F(PointJournalTest, CopiesClaimJournalsOfTheirOwnAndTakeOrphansOnce)
{
    HeldJournal first = ClaimJournal(dir_);
    HeldJournal second = ClaimJournal(dir_);
    EXPECT_EQ(first.path, dir_ / "Keldarn.journal");
    EXPECT_EQ(second.path, dir_ / "Keldarn.2.journal");
    for (const char* name : {"Keldarn.journal.bak", "Keldarn.1.journal", "Keldarn.02.journal",
                             "Keldarn.x.journal", "Keldarn.5.journal"})
        std::ofstream(dir_ / name) << "KLDJ1\n";
    const std::vector<HeldJournal> orphans = LockOrphanJournals(dir_);
    ASSERT_EQ(orphans.size(), 1u);
    EXPECT_EQ(orphans[0].path, dir_ / "Keldarn.5.journal");
    EXPECT_TRUE(LockOrphanJournals(dir_).empty());

    second = {};  // that copy ended: its name is free again
    EXPECT_EQ(ClaimJournal(dir_).path, dir_ / "Keldarn.2.journal");
}

}  // namespace
}  // namespace keldarn::points
