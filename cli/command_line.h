#pragma once

// The options of a subcommand: "--name value", "--name=value" and flags, checked against
// the subcommand's list, with the exit statuses every subcommand shares.

#include <array>
#include "geodesy/coordinates.h"

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace keldarn::cli {

// Exit statuses: success, bad input (options, values, areas, input files), a failed read
// or write (a terrain source, an output file).
inline constexpr int kExitOk = 0;
inline constexpr int kExitBadInput = 1;
inline constexpr int kExitFailure = 2;

// Bad input; the message says what and where. Exit status 1.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An input file is wrong (its reader names the file and the line). Exit status 1, without
// the pointer to --help that a wrong option gets.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A read or a write failed. Exit status 2.
class RunError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct OptionRule {
    std::string name;  // without the dashes, e.g. "spacing"
    bool takesValue = true;
};

class ParsedOptions {
public:
    // Parses arguments[first..] against the list. Arguments that are not options are
    // positional. Throws UsageError for an unknown option, a missing value or a value
    // given to a flag.
    ParsedOptions(const std::vector<std::string>& arguments, std::size_t first,
                  const std::vector<OptionRule>& rules);

    bool Has(const std::string& name) const { return values_.count(name) > 0; }
    std::optional<std::string> Value(const std::string& name) const;
    // The value as a number; throws UsageError naming the option when it is not one.
    std::optional<double> Number(const std::string& name) const;
    const std::vector<std::string>& Positional() const { return positional_; }

private:
    std::map<std::string, std::string> values_;
    std::vector<std::string> positional_;
};

// The value of --bbox: south, west, north, east (degrees), south below north and west below
// east. Throws UsageError.
geodesy::GeoBox ReadBox(const std::string& text);

// Writes `text` and a line end on standard error.
void PrintLine(const std::string& text);

// Runs a subcommand (arguments[0] is its name): --help prints `help` (the page in the
// interface language) on standard output; otherwise `command` runs, and what it throws
// becomes a message on standard error and the exit status (UsageError, InputError and an
// input file's line beyond the line bound 1, anything else 2).
int RunSubcommand(const std::vector<std::string>& arguments, const std::vector<OptionRule>& rules,
                  const std::string& help, const std::function<int(const ParsedOptions&)>& command);

}  // namespace keldarn::cli
