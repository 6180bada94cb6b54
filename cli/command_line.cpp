#include "cli/command_line.h"

#include "fileio/line_reader.h"
#include "geodesy/number_text.h"
#include "i18n/interface_text.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace keldarn::cli {

ParsedOptions::ParsedOptions(const std::vector<std::string>& arguments, std::size_t first,
                             const std::vector<OptionRule>& rules)
{
    for (std::size_t k = first; k < arguments.size(); ++k) {
        const std::string& argument = arguments[k];
        if (argument == "--") {
            positional_.insert(positional_.end(), arguments.begin() + static_cast<std::ptrdiff_t>(k) + 1,
                               arguments.end());
            break;
        }
        if (argument.size() < 3 || !argument.starts_with("--")) {
            positional_.push_back(argument);
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string name =
            argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const auto rule =
            std::find_if(rules.begin(), rules.end(), [&](const OptionRule& s) { return s.name == name; });
        if (rule == rules.end())
            throw UsageError(i18n::Format(i18n::Translate("cli", "未知的选项 --%1"), {name}));
        if (!rule->takesValue) {
            if (equals != std::string::npos)
                throw UsageError(i18n::Format(i18n::Translate("cli", "选项 --%1 不带值"), {name}));
            values_[name] = "";
        } else if (equals != std::string::npos) {
            values_[name] = argument.substr(equals + 1);
        } else if (k + 1 < arguments.size()) {
            values_[name] = arguments[++k];
        } else {
            throw UsageError(i18n::Format(i18n::Translate("cli", "选项 --%1 缺少值"), {name}));
        }
    }
}

std::optional<std::string> ParsedOptions::Value(const std::string& name) const
{
    const auto found = values_.find(name);
    if (found == values_.end())
        return std::nullopt;
    return found->second;
}

std::optional<double> ParsedOptions::Number(const std::string& name) const
{
    const auto text = Value(name);
    if (!text)
        return std::nullopt;
    try {
        return geodesy::ParseNumber(*text);
    } catch (const std::exception&) {
        throw UsageError(i18n::Format(i18n::Translate("cli", "选项 --%1 的值“%2”不是数"), {name, *text}));
    }
}

namespace {

// `count` numbers separated by commas, the value of --`option`.
std::vector<double> NumberList(const std::string& text, const std::string& option, std::size_t count)
{
    std::vector<double> values;
    std::stringstream fields(text);
    std::string field;
    while (std::getline(fields, field, ',')) {
        try {
            values.push_back(geodesy::ParseNumber(field));
        } catch (const std::exception&) {
            throw UsageError(
                i18n::Format(i18n::Translate("cli", "--%1 的值“%2”中“%3”不是数"), {option, text, field}));
        }
    }
    if (values.size() != count)
        throw UsageError(i18n::Format(i18n::Translate("cli", "--%1 需要 %2 个以逗号分隔的数，不是“%3”"),
                                      {option, std::to_string(count), text}));
    return values;
}

}  // namespace

geodesy::GeoBox ReadBox(const std::string& text)
{
    const std::vector<double> v = NumberList(text, "bbox", 4);
    if (!(v[0] < v[2] && v[1] < v[3] && v[0] >= -90.0 && v[2] <= 90.0))
        throw UsageError(i18n::Translate("cli", "--bbox 应为 南,西,北,东（度），且南 < 北、西 < 东"));
    return {.southDeg = v[0], .westDeg = v[1], .northDeg = v[2], .eastDeg = v[3]};
}

void PrintLine(const std::string& text)
{
    std::fputs((text + "\n").c_str(), stderr);
}

int RunSubcommand(const std::vector<std::string>& arguments, const std::vector<OptionRule>& rules,
                  const std::string& help, const std::function<int(const ParsedOptions&)>& command)
{
    const std::string& name = arguments[0];
    // "keldarn-cli name：message" on standard error.
    const auto report = [&name](const char* message) {
        PrintLine(i18n::Format(i18n::Translate("cli", "keldarn-cli %1：%2"), {name, message}));
    };
    try {
        const ParsedOptions options(arguments, 1, rules);
        if (options.Has("help")) {
            std::fputs(help.c_str(), stdout);
            return kExitOk;
        }
        return command(options);
    } catch (const UsageError& error) {
        report(error.what());
        PrintLine(i18n::Format(i18n::Translate("cli", "用 keldarn-cli %1 --help 查看用法。"), {name}));
        return kExitBadInput;
    } catch (const InputError& error) {
        report(error.what());
        return kExitBadInput;
    } catch (const fileio::LineTooLongError& error) {
        report(error.what());
        return kExitBadInput;
    } catch (const std::exception& error) {
        // RunError, and whatever else fails while reading or writing (memory, the file system).
        report(error.what());
        return kExitFailure;
    }
}

}  // namespace keldarn::cli
