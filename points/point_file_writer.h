#pragma once

// Writing a point file: whole lines of UTF-8 text in, the file's bytes in GB18030 (the
// export, read by Chinese survey software) or UTF-8 (CSV) out, through fileio::AtomicFile,
// so that a run that fails or is cancelled leaves the target exactly as it was. The export
// of the window and every file keldarn-cli writes points into go through here.

#include "encoding/text_encoding.h"
#include "fileio/atomic_file.h"
#include "points/fnv1a64.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace keldarn::points {

class PointFileWriter {
public:
    // Creates the temporary file beside `target`. withChecksum: keep the Fnv1a64 of the bytes
    // written; it costs a pass over every byte, so only a caller that states it asks for it.
    // Throws fileio::FileWriteError when the target's folder cannot be written.
    PointFileWriter(const std::filesystem::path& target, encoding::TextEncoding encoding,
                    bool withChecksum = false);

    // Appends whole UTF-8 lines with their line ends. They are gathered into pieces of about
    // 1 MiB before they are encoded and written, so that neither the converter nor the system
    // calls cost anything per line, and memory does not grow with the file. Throws
    // fileio::FileWriteError naming the target, also for text that is not valid UTF-8.
    void Write(std::string_view utf8);

    // Writes what is gathered and puts the file in the target's place. Throws
    // fileio::FileWriteError.
    void Commit();

    // The bytes written in the file's encoding, and their Fnv1a64 (only withChecksum; 0
    // otherwise). Lines still gathered are not counted: after Commit() these are the file's.
    std::uint64_t bytes() const { return bytes_; }
    std::uint64_t checksum() const { return checksum_ ? checksum_->value() : 0; }

private:
    void WritePending();
    void WritePiece(std::string_view utf8);

    std::filesystem::path target_;
    fileio::AtomicFile file_;
    std::unique_ptr<encoding::StreamConverter> toGb18030_;  // GB18030 files only
    std::string pending_;                                   // UTF-8 lines not yet written
    std::string encoded_;                                   // reused between pieces
    std::uint64_t bytes_ = 0;
    std::optional<Fnv1a64> checksum_;
};

}  // namespace keldarn::points
