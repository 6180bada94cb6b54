// The point table's crash journal: this copy's own journal beside the settings file, the
// rows of every copy that did not end normally offered at start, and their backup.

#include "app/main_window.h"

#include "points/journal_folder.h"
#include "points/point_journal.h"
#include "points/point_table_model.h"

#include <algorithm>
#include <iterator>

namespace keldarn::app {

std::filesystem::path TFormMain::JournalPath() const
{
    return journalPath_;
}

std::filesystem::path TFormMain::RecoveryBackupPath() const
{
    return journalPath_.empty() ? std::filesystem::path() : points::BackupPathOf(journalPath_);
}

void TFormMain::RemoveRecoveryBackup()
{
    std::error_code ignored;
    std::filesystem::remove(RecoveryBackupPath(), ignored);
    recoveryBackup_ = RecoveryBackup::kNone;
}

void TFormMain::RecoverAndStartJournal()
{
    const std::filesystem::path folder = env_.settingsPath.parent_path();
    // The settings folder of an installed copy ($XDG_CONFIG_HOME/keldarn) may not exist
    // yet on the first start.
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    // Backups whose journal no copy holds are those of ended runs: they go at this run's
    // normal end, unless this start writes its own backup over one of them.
    settledBackups_ = points::SettledBackups(folder);

    std::optional<points::HeldJournal> own;
    QString claimError;
    try {
        own = points::ClaimJournal(folder);
        journalPath_ = own->path;
    } catch (const std::exception& error) {
        claimError = QString::fromUtf8(error.what());
    }
    // This copy's own name may hold an orphan too; all are read in copy-number order.
    std::vector<points::HeldJournal> orphans = points::LockOrphanJournals(folder);
    std::vector<std::filesystem::path> sources;
    if (own)
        sources.push_back(own->path);
    for (const points::HeldJournal& orphan : orphans)
        sources.push_back(orphan.path);
    std::sort(sources.begin(), sources.end(), [](const auto& a, const auto& b) {
        return points::JournalCopyNumber(a.filename().string()) <
               points::JournalCopyNumber(b.filename().string());
    });

    std::vector<std::string> rows;
    int journalsWithRows = 0;
    std::vector<std::filesystem::path> read;
    for (const std::filesystem::path& source : sources) {
        try {
            if (auto recovered = points::ReadJournal(source)) {
                if (!recovered->packedRows.empty()) {
                    ++journalsWithRows;
                    rows.insert(rows.end(), std::make_move_iterator(recovered->packedRows.begin()),
                                std::make_move_iterator(recovered->packedRows.end()));
                }
                read.push_back(source);
            }
        } catch (const std::exception& error) {
            ShowError(QString::fromUtf8(error.what()));
        }
    }

    // The rows are kept in a backup whatever the answer, so that a crash while they are
    // being restored, or an answer given by mistake, loses nothing.
    bool rowsKept = rows.empty();
    if (!rows.empty() && own) {
        try {
            points::WriteJournalFile(RecoveryBackupPath(), rows);
            std::erase(settledBackups_, RecoveryBackupPath());
            recoveryBackup_ = RecoveryBackup::kDeclined;
            rowsKept = true;
        } catch (const std::exception&) {
        }
    }
    bool restored = false;
    if (!rows.empty()) {
        const auto count = static_cast<qsizetype>(rows.size());
        const QString question =
            journalsWithRows == 1
                ? tr("上次程序没有正常退出。恢复上次未正常退出时的点表数据（%1个点）？").arg(count)
                : tr("有%1个Keldarn程序没有正常退出。恢复它们的点表数据（共%2个点）？")
                      .arg(journalsWithRows)
                      .arg(count);
        if (env_.dialogs->AskYesNo(this, question, windowTitle())) {
            pointTable_->AppendPackedRows(std::move(rows));
            pointTable_->SetHeaderFixed(true);
            restored = true;
            if (recoveryBackup_ == RecoveryBackup::kDeclined)
                recoveryBackup_ = RecoveryBackup::kRestored;
        }
    }

    if (!own) {
        ShowError(claimError + QLatin1Char('\n') + tr("程序异常退出时，点表数据将无法恢复。"));
        return;
    }
    try {
        journal_ = std::make_unique<points::PointJournal>(std::move(*own), *pointTable_);
    } catch (const std::exception& error) {
        ShowError(QString::fromUtf8(error.what()) + QLatin1Char('\n') +
                  tr("程序异常退出时，点表数据将无法恢复。"));
        return;
    }
    // The orphans' rows are now in this run's journal or in the backup: their files go
    // (before their locks), so that no start offers them again.
    if (rowsKept || restored)
        for (const std::filesystem::path& source : read)
            if (source != journalPath_)
                std::filesystem::remove(source, ignored);
}

void TFormMain::SettleJournalAtClose()
{
    // A normal end: the next run starts with an empty table.
    if (journal_)
        journal_->Finish();
    // The restored rows are now exported or given up by the user's 是; rows declined at
    // this start stay in the backup until a later run's normal end.
    if (recoveryBackup_ == RecoveryBackup::kRestored)
        RemoveRecoveryBackup();
    std::error_code ignored;
    for (const std::filesystem::path& backup : settledBackups_)
        if (!points::JournalInUse(points::JournalOfBackup(backup)))
            std::filesystem::remove(backup, ignored);
}

}  // namespace keldarn::app
