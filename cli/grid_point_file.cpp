#include "cli/grid_point_file.h"

#include "cli/command_line.h"
#include "fileio/line_reader.h"
#include "geodesy/number_text.h"
#include "i18n/interface_text.h"
#include "points/bad_lines.h"

#include <algorithm>
#include <sstream>

namespace keldarn::cli {

std::vector<geodesy::PlanePoint> ReadGridPoints(const std::string& path)
{
    fileio::LineReader reader(path);
    std::vector<geodesy::PlanePoint> points;
    std::string_view text;
    std::string line;
    while (reader.Next(text)) {
        line.assign(text);
        std::replace_if(
            line.begin(), line.end(), [](char c) { return c == ',' || c == '\t' || c == ';'; }, ' ');
        std::istringstream fields(line);
        std::string x, y;
        if (!(fields >> x))
            continue;  // a blank line
        try {
            if (!(fields >> y))
                throw UsageError("");
            points.push_back({.x = geodesy::ParseNumber(x), .y = geodesy::ParseNumber(y)});
        } catch (const std::exception&) {
            throw InputError(
                points::LineMessage(i18n::Translate("cli", "%1 第 %2 行：应为 \"X,Y\" 两个数，而不是“%3”"),
                                    path, reader.Number(), points::Excerpt(text)));
        }
    }
    return points;
}

}  // namespace keldarn::cli
