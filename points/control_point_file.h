#pragma once

// Control points as a text file (and as text pasted from a spreadsheet): one point per line,
// fields separated by commas, tabs or semicolons:
//
//   name, source A, source B, source H, target X, target Y, target H [, used]
//
// Source A and B are the plane X (northing) and Y (easting) on the zone's Gauss–Krüger plane,
// or latitude (−90 to 90) and longitude (−180 to 180) in degrees, as the file's kind says;
// "used" is 1 or Y, 0 or N (1 when absent or empty). Lines starting with '#' are comments; the
// program writes "# 源坐标：平面坐标" or "# 源坐标：经纬度" to say the kind, and reads it back
// (the first such line holds for the whole text; a later one naming the other kind is a bad
// line). Blank lines are skipped. The file is UTF-8 or GB18030, detected as the point import
// detects it.

#include <array>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace keldarn::points {

enum class ControlSourceKind { Plane, Geographic };

struct ControlPointRow {
    std::string name;                // UTF-8, trimmed
    std::array<double, 3> source{};  // X, Y, H on the plane, or latitude, longitude (degrees), H
    std::array<double, 3> target{};  // X, Y, H in the surveyor's grid (metres)
    bool used = true;
};

struct ControlPointList {
    ControlSourceKind kind = ControlSourceKind::Plane;
    std::vector<ControlPointRow> rows;
};

// what() is the user's message: the file (or "粘贴的文字") and the numbers of the lines that
// could not be read (up to 20, then "等 N 行"), with the reason for the first.
class ControlPointFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads UTF-8 text; `kind` is what the text says when it has no kind comment. displayName
// names the text in messages. Throws ControlPointFileError; nothing is returned half-read.
ControlPointList ParseControlPoints(std::string_view utf8, ControlSourceKind kind,
                                    const std::string& displayName);

// Reads a file (UTF-8 or GB18030). Throws ControlPointFileError when it cannot be read, a
// line is longer than fileio::kMaxLineBytes (the message names it) or a line cannot be parsed.
ControlPointList ReadControlPointFile(const std::filesystem::path& path);

// Writes the list as UTF-8 with the kind comment and a title comment, replacing the file
// atomically; numbers with as many digits as they need to read back exactly. A name is written
// so that it reads back as one field: commas, semicolons, tabs and line ends in it become
// spaces, and a leading '#' becomes the full-width '＃'. Throws ControlPointFileError naming
// the file when it cannot be written or a coordinate is not finite.
void WriteControlPointFile(const std::filesystem::path& path, const ControlPointList& list);

}  // namespace keldarn::points
