#pragma once

#include "i18n/interface_text.h"

#include <cstddef>
#include <stdexcept>
#include <string>

namespace keldarn::kml {

// A KML file that cannot be read or written. what() is the user's message, in the
// interface's language, naming the file, the line where there is one, and the reason.
class KmlError : public std::runtime_error {
public:
    explicit KmlError(const std::string& message, std::size_t line = 0)
        : std::runtime_error(message), line_(line)
    {
    }
    // Line of the file (from 1) where reading failed; 0 when the failure has no line.
    std::size_t line() const { return line_; }

private:
    std::size_t line_;
};

// The message for a failure while reading a KML file, with or without a line:
// "读取KML文件 a.kml 第12行出错：<reason>" or "读取KML文件 a.kml 出错：<reason>".
inline KmlError KmlReadError(const std::string& displayName, std::size_t line, const std::string& reason)
{
    if (line > 0) {
        return KmlError(i18n::Format(i18n::Translate("kml", "读取KML文件 %1 第%2行出错：%3"),
                                     {displayName, std::to_string(line), reason}),
                        line);
    }
    return KmlError(i18n::Format(i18n::Translate("kml", "读取KML文件 %1 出错：%2"), {displayName, reason}),
                    line);
}

}  // namespace keldarn::kml
