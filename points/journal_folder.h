#pragma once

// The journals of the copies of the program that run at once beside one settings file.
// Every running copy holds a journal of its own, locked (flock) for its whole run: the
// first copy "Keldarn.journal", further copies "Keldarn.2.journal", "Keldarn.3.journal", ...
// A journal that no running copy holds is an orphan: the table of a copy that did not end
// normally. Recovered rows are kept beside the journal of the copy that recovered them,
// as "<journal>.bak".

#include "points/point_journal.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace keldarn::points {

// The journal of copy `copy` (1, 2, ...) in `folder`.
std::filesystem::path JournalPathOf(const std::filesystem::path& folder, int copy);

// The copy number a journal's file name gives; nothing for any other name ("Keldarn.02.journal"
// and "Keldarn.1.journal" included, so that each copy has exactly one name).
std::optional<int> JournalCopyNumber(const std::string& fileName);

// Claims this copy's journal: the first name of the series that no running copy holds,
// created when missing, and locked. Two copies starting at the same moment never get one
// name. The file may hold the rows of a copy that did not end normally: the caller reads
// them before a PointJournal replaces the file. Throws JournalError when no name can be
// created or locked.
HeldJournal ClaimJournal(const std::filesystem::path& folder);

// The journals in `folder` that no running copy holds, each locked by this process and in
// copy-number order. A journal this process holds already (its own claim) is not among
// them; locked, none of them can be taken by a copy starting at the same time.
std::vector<HeldJournal> LockOrphanJournals(const std::filesystem::path& folder);

// "<journal>.bak".
std::filesystem::path BackupPathOf(const std::filesystem::path& journal);

// The backups in `folder` whose journal no running copy holds: rows of a run that has ended,
// declined then or settled since.
std::vector<std::filesystem::path> SettledBackups(const std::filesystem::path& folder);

// The journal whose backup `backup` is.
std::filesystem::path JournalOfBackup(const std::filesystem::path& backup);

}  // namespace keldarn::points
