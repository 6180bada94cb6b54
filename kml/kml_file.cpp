#include "kml/kml_file.h"

#include "kml/kml_input.h"

#include <deque>
#include <set>
#include <system_error>
#include <vector>

namespace keldarn::kml {
namespace {

// Passes the bytes on, telling the watch before each read how many have gone by.
class WatchedSource : public KmlByteSource {
public:
    WatchedSource(KmlByteSource& inner, const KmlReadWatch& watch, std::uint64_t& bytesRead,
                  std::uint64_t fileBytes)
        : inner_(inner), watch_(watch), bytesRead_(bytesRead), fileBytes_(fileBytes)
    {
    }

    std::size_t Read(char* buffer, std::size_t capacity) override
    {
        if (watch_)
            watch_(bytesRead_, fileBytes_);
        const std::size_t count = inner_.Read(buffer, capacity);
        bytesRead_ += count;
        return count;
    }

private:
    KmlByteSource& inner_;
    const KmlReadWatch& watch_;
    std::uint64_t& bytesRead_;
    std::uint64_t fileBytes_;
};

std::string Shortened(const std::string& text)
{
    constexpr std::size_t kShownBytes = 200;
    if (text.size() <= kShownBytes)
        return text;
    std::size_t end = kShownBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;  // never end inside a UTF-8 sequence
    return text.substr(0, end) + "…";
}

// Forwards the geometry to the caller's sink and reads each linked entry where its link
// stands, the expat parser of the linking document waiting meanwhile.
class LinkFollower : public KmlGeometrySink {
public:
    LinkFollower(KmlGeometrySink& sink, const KmlReadWatch& watch, std::uint64_t fileBytes)
        : sink_(sink), watch_(watch), fileBytes_(fileBytes)
    {
    }

    void OnCoordinates(std::vector<double>& lonLatDeg, const std::string& placemarkName) override
    {
        sink_.OnCoordinates(lonLatDeg, placemarkName);
    }

    void OnTrack(std::vector<double>& lonLatDeg, const std::string& placemarkName) override
    {
        sink_.OnTrack(lonLatDeg, placemarkName);
    }

    void OnNetworkLink(const std::string& href) override
    {
        const KmlInput& from = *open_.back();
        const std::string entry = LinkedEntry(from, href);
        if (entry.empty()) {
            if (summary.outsideLinks++ == 0)
                summary.firstOutsideLink = Shortened(href);
            return;
        }
        if (!seen_.insert(entry).second)
            return;
        // open_ holds the main document or a deferred entry, then the linked ones.
        if (open_.size() > kMaxNestedLinks) {
            deferred_.push_back(entry);
            return;
        }
        KmlInput linked = OpenLinkedEntry(from, entry);
        Read(linked);
    }

    void ReadFile(KmlInput& main)
    {
        seen_.insert(main.entryName);
        Read(main);
        while (!deferred_.empty()) {
            KmlInput next = OpenLinkedEntry(main, deferred_.front());
            deferred_.pop_front();
            Read(next);
        }
    }

    KmlFileSummary summary;

private:
    void Read(KmlInput& input)
    {
        open_.push_back(&input);
        WatchedSource source(*input.source, watch_, bytesRead_, fileBytes_);
        const KmlFeatureCounts counts = ScanKml(source, input.displayName, *this);
        open_.pop_back();
        summary.counts.placemarks += counts.placemarks;
        summary.counts.models += counts.models;
        summary.counts.overlays += counts.overlays;
        ++summary.documents;
    }

    KmlGeometrySink& sink_;
    const KmlReadWatch& watch_;
    std::uint64_t fileBytes_;
    std::uint64_t bytesRead_ = 0;
    std::vector<const KmlInput*> open_;  // the documents being read, the innermost last
    // Entries read, being read or waiting: each is read once, so links in a circle end.
    std::set<std::string> seen_;
    std::deque<std::string> deferred_;  // linked beyond kMaxNestedLinks, in link order
};

}  // namespace

KmlFileSummary ScanKmlFile(const std::filesystem::path& path, KmlGeometrySink& sink,
                           const KmlReadWatch& watch, const KmlReadLimits& limits)
{
    KmlInput input = OpenKmlInput(path, limits);
    std::error_code sizeError;
    const std::uint64_t fileBytes = input.archive ? 0 : std::filesystem::file_size(path, sizeError);
    LinkFollower follower(sink, watch, sizeError ? 0 : fileBytes);
    follower.ReadFile(input);
    return follower.summary;
}

}  // namespace keldarn::kml
