#include "i18n/interface_text.h"

#include <atomic>
#include <vector>

namespace keldarn::i18n {
namespace {

std::atomic<Translator> installed{nullptr};

}  // namespace

void InstallTranslator(Translator translator)
{
    installed.store(translator, std::memory_order_release);
}

std::string Translate(const char* context, const char* source)
{
    const Translator translator = installed.load(std::memory_order_acquire);
    return translator != nullptr ? translator(context, source) : std::string(source);
}

std::string Format(std::string_view pattern, std::initializer_list<std::string_view> arguments)
{
    const std::vector<std::string_view> values(arguments);
    std::string text;
    text.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const auto number = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (number < values.size()) {
                text += values[number];
                ++i;
                continue;
            }
        }
        text += pattern[i];
    }
    return text;
}

}  // namespace keldarn::i18n
