#pragma once

// The side file that `sample --part i/n --output X` writes beside its share, X + ".part":
// plain UTF-8 "key=value" lines saying which share of which run X is and what X holds.
// merge reads it to put the shares in their place and to refuse a share that is missing,
// repeated, out of order, of another run or changed since. The share's own bytes stay
// exactly those of the single run, so that merging gives the single run's file.

#include "points/fnv1a64.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace keldarn::cli {

// The checksum of a share's bytes and the fingerprint of a run's options.
using points::Fnv1a64;

// 16 lowercase hexadecimal digits.
std::string Hex64(std::uint64_t value);

struct PartManifest {
    int index = 0;  // 1..count, the share's place in the run (rows north to south)
    int count = 0;
    std::string run;        // Hex64 fingerprint of the options that determine the rows
    std::string format;     // "dat" or "csv"
    std::string fields;     // the columns' digits, e.g. "0,1,3,2,4"
    std::string separator;  // "U+002C", or empty for none
    std::int64_t rows = 0;  // point lines; a CSV's title line is not one
    std::uint64_t bytes = 0;
    std::uint64_t checksum = 0;  // Fnv1a64 of the share's bytes
};

// X + ".part".
std::filesystem::path ManifestPath(const std::filesystem::path& share);

std::string ManifestText(const PartManifest& manifest);

// The side file of `share`. Throws InputError naming the share and the reason when it is
// missing, not a side file of sample --part, or has a value that does not read.
PartManifest ReadManifest(const std::filesystem::path& share);

}  // namespace keldarn::cli
