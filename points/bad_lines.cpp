#include "points/bad_lines.h"

namespace keldarn::points {

bool BadLines::Add(std::int64_t number, const std::string& reason)
{
    const bool first = count_ == 0;
    if (first)
        firstReason_ = "第 " + std::to_string(number) + " 行：" + reason;
    if (listed_.size() < kListed)
        listed_.push_back(number);
    ++count_;
    return first;
}

void BadLines::Clear()
{
    listed_.clear();
    count_ = 0;
    firstReason_.clear();
}

std::string BadLines::Numbers() const
{
    std::string numbers;
    for (const std::int64_t number : listed_)
        numbers += (numbers.empty() ? "" : "、") + std::to_string(number);
    std::string text = "第 " + numbers + " 行";
    if (count_ > static_cast<std::int64_t>(listed_.size()))
        text += "等 " + std::to_string(count_) + " 行";
    return text;
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

}  // namespace keldarn::points
