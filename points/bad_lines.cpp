#include "points/bad_lines.h"

#include "i18n/interface_text.h"

namespace keldarn::points {

bool BadLines::Add(std::int64_t number, const std::string& reason)
{
    const bool first = count_ == 0;
    if (first)
        firstReason_ =
            i18n::Format(i18n::Translate("points", "第 %1 行：%2"), {std::to_string(number), reason});
    if (listed_.size() < kListed)
        listed_.push_back(number);
    ++count_;
    return first;
}

std::string BadLines::Numbers() const
{
    //: Between the numbers of the lines in a list.
    const std::string separator = i18n::Translate("points", "、");
    std::string numbers;
    for (const std::int64_t number : listed_)
        numbers += (numbers.empty() ? "" : separator.c_str()) + std::to_string(number);
    if (count_ > static_cast<std::int64_t>(listed_.size()))
        return i18n::Format(i18n::Translate("points", "第 %1 行等 %2 行"), {numbers, std::to_string(count_)});
    return i18n::Format(i18n::Translate("points", "第 %1 行"), {numbers});
}

std::string Excerpt(std::string_view field)
{
    constexpr std::size_t kMaxBytes = 40;
    if (field.size() <= kMaxBytes)
        return std::string(field);
    std::size_t cut = kMaxBytes;
    while (cut > 0 && (static_cast<unsigned char>(field[cut]) & 0xC0) == 0x80)
        --cut;
    return std::string(field.substr(0, cut)) + "…";
}

std::string Quoted(std::string_view value)
{
    return i18n::Format(i18n::Translate("points", "“%1”"), {Excerpt(value)});
}

std::string LineMessage(const std::string& pattern, const std::filesystem::path& file,
                        std::int64_t lineNumber, std::string_view value1, std::string_view value2)
{
    return i18n::Format(pattern, {file.string(), std::to_string(lineNumber), value1, value2});
}

}  // namespace keldarn::points
