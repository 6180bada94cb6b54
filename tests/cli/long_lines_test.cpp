// Every reader of text files refuses a line beyond the line bound, after reading at most
// about that much, and quotes at most the start of a long value in its message.

#include "cli/command_line.h"
#include "cli/convert_command.h"
#include "cli/sample_command.h"
#include "fileio/line_reader.h"
#include "points/control_point_file.h"
#include "points/import_reader.h"
#include "tests/support/resource_limits.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace keldarn::cli {
namespace {

namespace fs = std::filesystem;

// What a command printed on standard error when it refused its input; empty when it ran.
std::string CommandRefusal(int (*run)(const std::vector<std::string>&),
                           const std::vector<std::string>& arguments)
{
    ::testing::internal::CaptureStderr();
    const int status = run(arguments);
    const std::string errors = ::testing::internal::GetCapturedStderr();
    return status == kExitOk ? std::string() : errors;
}

TEST(LongLines, EveryTextReaderRefusesTheLineWithAShortMessageInBoundedMemory)
{
    const fs::path dir = fs::temp_directory_path() / ("keldarn_long_lines_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string output = (dir / "out.txt").string();
    // Each reader reads the file `link` (a link to the input) and gives the message it refused it
    // with; empty when it read the file.
    const struct {
        const char* reader;
        std::string link;
        std::function<std::string(const std::string&)> refusal;
    } readers[] = {
        {"sample --boundary", (dir / "boundary.txt").string(),
         [&](const std::string& path) {
             return CommandRefusal(RunSample,
                                   {"sample", "--terrain", (dir / "dem.tif").string(), "--meridian", "111",
                                    "--spacing", "25", "--boundary", path, "--output", output, "--quiet"});
         }},
        {"convert", (dir / "points.txt").string(),
         [&](const std::string& path) {
             return CommandRefusal(RunConvert,
                                   {"convert", path, "--meridian", "111", "--output", output, "--quiet"});
         }},
        {"merge (side file)", (dir / "share.dat.part").string(),
         [&](const std::string&) {
             return CommandRefusal(RunMerge, {"merge", "--output", output, (dir / "share.dat").string()});
         }},
        {"control-point file", (dir / "control.txt").string(),
         [](const std::string& path) {
             try {
                 points::ReadControlPointFile(path);
                 return std::string();
             } catch (const points::ControlPointFileError& error) {
                 return std::string(error.what());
             }
         }},
        {"point import", (dir / "import.dat").string(),
         [](const std::string& path) {
             try {
                 points::ReadPointsFile(path, points::ExportLayout{{0, 1, 2, 3, 4}, ","});
                 return std::string();
             } catch (const points::ImportError& error) {
                 return std::string(error.what());
             }
         }},
    };
    // A sparse file of one line of 300 MB, a device without a line end, and a line below the
    // bound whose text no message may quote whole.
    const std::string sparse = (dir / "one_line.txt").string();
    std::ofstream(sparse) << "1,2,";
    fs::resize_file(sparse, std::uintmax_t{300} << 20);
    const std::string belowBound = (dir / "long_text.txt").string();
    std::ofstream(belowBound) << std::string(fileio::kMaxLineBytes / 4, 'x') << "\n";
    const struct {
        std::string input;
        bool beyondBound;
    } inputs[] = {{sparse, true}, {"/dev/zero", true}, {belowBound, false}};

    const std::string messageFile = (dir / "message").string();
    for (const auto& input : inputs) {
        for (const auto& reader : readers) {
            SCOPED_TRACE(std::string(reader.reader) + " reading " + input.input);
            fs::remove(reader.link);
            fs::create_symlink(input.input, reader.link);
            fs::remove(messageFile);
            const int status = testing::RunWithAddressSpaceLimit(std::size_t{256} << 20, [&] {
                const std::string message = reader.refusal(reader.link);
                std::ofstream(messageFile, std::ios::binary) << message;
                return message.empty() ? 1 : 0;
            });
            const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
            if (code != 0) {
                ADD_FAILURE() << "1: read without a refusal, 124: out of memory, negative: signal; " << code;
                continue;
            }
            std::ifstream in(messageFile, std::ios::binary);
            const std::string message{std::istreambuf_iterator<char>(in), {}};
            EXPECT_LT(message.size(), 1000u) << message.substr(0, 300);
            EXPECT_NE(message.find(reader.link), std::string::npos) << message.substr(0, 300);
            if (input.beyondBound) {
                EXPECT_NE(message.find("第 1 行"), std::string::npos) << message.substr(0, 300);
            }
        }
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace keldarn::cli
