#pragma once

// Temporary files of writes in progress, removed when the process is stopped by SIGINT,
// SIGTERM or SIGHUP (Ctrl+C, kill, a closed terminal, a batch system's time limit), so that
// an interrupted run leaves neither a changed target nor a half-written temporary file that
// fills the disk. AtomicFile registers its temporary file here for the time it exists.
//
// The registry is a fixed table of C strings with atomic states, read by the signal
// handler with async-signal-safe calls only (unlink, sigaction, raise).

namespace keldarn::fileio {

// Records `path` (a temporary file just created) and returns its entry, or -1 when the path
// is too long or the table is full; such a file is still removed by its owner on failures,
// only not on a signal.
int RegisterTemporaryFile(const char* path) noexcept;

// Drops the entry (the file was renamed into place or removed). -1 is ignored.
void ForgetTemporaryFile(int entry) noexcept;

// Installs the handler for SIGINT, SIGTERM and SIGHUP: it removes every registered file and
// ends the process by the same signal with its default action, so that the exit status
// still says "killed by SIGINT" (128 + signal in a shell). A signal the process ignores
// (started under nohup) stays ignored. For programs; call once at start.
void RemoveTemporaryFilesOnTermination();

}  // namespace keldarn::fileio
