#include "points/point_file_writer.h"

namespace keldarn::points {

namespace {

// The size of the pieces written, bytes of UTF-8.
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

}  // namespace

PointFileWriter::PointFileWriter(const std::filesystem::path& target, encoding::TextEncoding encoding,
                                 bool withChecksum)
    : target_(target), file_(target)
{
    if (encoding == encoding::TextEncoding::kGb18030)
        toGb18030_ = std::make_unique<encoding::StreamConverter>("UTF-8", "GB18030");
    if (withChecksum)
        checksum_.emplace();
    pending_.reserve(kPieceBytes);
}

void PointFileWriter::Write(std::string_view utf8)
{
    if (pending_.empty() && utf8.size() >= kPieceBytes) {
        WritePiece(utf8);  // a caller's own large piece needs no copy
        return;
    }
    pending_ += utf8;
    if (pending_.size() >= kPieceBytes)
        WritePending();
}

void PointFileWriter::Commit()
{
    WritePending();
    file_.Commit();
}

void PointFileWriter::WritePending()
{
    WritePiece(pending_);
    pending_.clear();
}

// ASCII is the same in both encodings, so a piece of digits and Latin names skips the
// converter.
void PointFileWriter::WritePiece(std::string_view utf8)
{
    std::string_view bytes = utf8;
    if (toGb18030_ && !encoding::IsAscii(utf8)) {
        encoded_.clear();
        try {
            toGb18030_->ConvertAppend(utf8, encoded_);
        } catch (const std::exception& failure) {  // not UTF-8, or out of memory
            throw fileio::FileWriteError(target_, failure.what());
        }
        bytes = encoded_;
    }
    file_.Write(bytes);
    bytes_ += bytes.size();
    if (checksum_)
        checksum_->Add(bytes);
}

}  // namespace keldarn::points
