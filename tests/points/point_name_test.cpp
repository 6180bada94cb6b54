#include "points/point_name.h"

#include <gtest/gtest.h>

namespace keldarn::points {
namespace {

TEST(NextPointName, CountsUpTheTrailingDigitRun)
{
    const struct {
        const char* name;
        const char* next;
    } cases[] = {
        {"K1", "K2"},
        {"K9", "K10"},
        {"K09", "K10"},
        {"K007", "K8"},
        {"K00", "K1"},
        {"12", "13"},
        {"999", "1000"},
        {"A-", "A-1"},
        {"K", "K1"},
        {"", "K1"},
        {"   ", "K1"},
        {"P3a", "P3a1"},
        {"K1 ", "K1 1"},
        {"校正点5", "校正点6"},
        {"界桩", "界桩1"},
        // Beyond any fixed-width integer: the run is counted as text.
        {"K2147483647", "K2147483648"},
        {"K99999999999", "K100000000000"},
        {"X123456789012345678901234567899", "X123456789012345678901234567900"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NextPointName(c.name), c.next) << '"' << c.name << '"';
}

TEST(NextPointName, KeepsEverythingBeforeTheRunByteForByte)
{
    // Full-width digits are not ASCII digits and so not counted.
    EXPECT_EQ(NextPointName("K１"), "K１1");
    EXPECT_EQ(NextPointName("\tK-07"), "\tK-8");
}

}  // namespace
}  // namespace keldarn::points
