#include "geodesy/number_text.h"
#include "geodesy/survey_conversion.h"

#include <gtest/gtest.h>

namespace keldarn::geodesy {
namespace {

TEST(SurveyConversion, CarriesAPointIntoTheUserGrid)
{
    const auto transform = MakeFourParamCoefficients(ReadFourParameters({"100", "-200", "10", "0.00001", "5"}));
    const GridPoint p = GeographicToGrid(33.2677, 113.5538, 100.0, 114.0, transform);
    EXPECT_NEAR(p.x, 3682640.788, 0.001);
    EXPECT_NEAR(p.y, 458410.498, 0.001);
    EXPECT_NEAR(p.h, 105.0, 1e-9);

    // All parameters zero: the Gauss–Krüger point itself, exactly.
    const auto identity = MakeFourParamCoefficients(ReadFourParameters({"0", "", " ", "0", "0"}));
    const GridPoint onMeridian = GeographicToGrid(33.2677, 114.0, 12.5, 114.0, identity);
    EXPECT_EQ(onMeridian.y, 500000.0);
    EXPECT_NEAR(onMeridian.x, 3682437.393, 0.001);
    EXPECT_EQ(onMeridian.h, 12.5);
}

TEST(SurveyConversion, ReadsParametersInOrderAndNamesTheFirstBadText)
{
    const FourParameterSet p = ReadFourParameters({" 100 ", "-200.5", "3600", "1e-5", ""});
    EXPECT_EQ(p.dxM, 100.0);
    EXPECT_EQ(p.dyM, -200.5);
    EXPECT_EQ(p.rotArcSec, 3600.0);
    EXPECT_EQ(p.scale, 1e-5);
    EXPECT_EQ(p.dHM, 0.0);

    try {
        ReadFourParameters({"0", "1,5", "x", "0", "0"});
        FAIL() << "a comma decimal mark must not convert";
    } catch (const InvalidNumberError& error) {
        EXPECT_STREQ(error.what(), "“1,5”不是有效的数值");
    }
}

}  // namespace
}  // namespace keldarn::geodesy
