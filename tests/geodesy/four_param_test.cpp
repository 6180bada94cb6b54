#include "geodesy/four_param.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace keldarn::geodesy {
namespace {

constexpr double kMillimetre = 0.001;
constexpr GridPoint kReferencePoint{3682526.192, 458427.379, 100};

void ExpectNear(const GridPoint& actual, const GridPoint& expected, double toleranceM) {
    EXPECT_NEAR(actual.x, expected.x, toleranceM);
    EXPECT_NEAR(actual.y, expected.y, toleranceM);
    EXPECT_NEAR(actual.h, expected.h, toleranceM);
}

TEST(FourParamForwardTest, MatchesWorkedExamples) {
    const struct {
        FourParameterSet params;
        GridPoint expected;
    } cases[] = {
        {{100, -200, 0, 0, 5}, {3682626.192, 458227.379, 105}},
        {{100, -200, 10, 0.00001, 5}, {3682640.788, 458410.498, 105}},
        {{0, 0, 0, 0.00001, 0}, {3682563.017, 458431.963, 100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "R = " << c.params.rotArcSec << ", m = " << c.params.scale);
        ExpectNear(FourParamForward(c.params, kReferencePoint), c.expected, kMillimetre);
    }
}

TEST(FourParamTest, ZeroParametersLeaveThePointUntouched) {
    const FourParameterSet zero;
    const GridPoint forward = FourParamForward(zero, kReferencePoint);
    const GridPoint reverse = FourParamReverse(zero, kReferencePoint);
    for (const GridPoint& p : {forward, reverse}) {
        EXPECT_EQ(p.x, kReferencePoint.x);
        EXPECT_EQ(p.y, kReferencePoint.y);
        EXPECT_EQ(p.h, kReferencePoint.h);
    }
}

// Positive R turns north toward east; R = 3600″ is one degree.
TEST(FourParamForwardTest, RotationSenseAndUnit) {
    const double oneDegreeRad = std::numbers::pi / 180;
    const GridPoint north{1000, 0, 0};
    ExpectNear(FourParamForward(FourParameterSet{0, 0, 3600, 0, 0}, north),
               {1000 * std::cos(oneDegreeRad), 1000 * std::sin(oneDegreeRad), 0}, 1e-9);
    ExpectNear(FourParamForward(FourParameterSet{0, 0, -3600, 0, 0}, north),
               {1000 * std::cos(oneDegreeRad), -1000 * std::sin(oneDegreeRad), 0}, 1e-9);
}

TEST(FourParamReverseTest, UndoesAPureShiftExactly) {
    const FourParameterSet shift{100, -200, 0, 0, 5};
    const GridPoint back = FourParamReverse(shift, FourParamForward(shift, kReferencePoint));
    EXPECT_DOUBLE_EQ(back.x, kReferencePoint.x);
    EXPECT_DOUBLE_EQ(back.y, kReferencePoint.y);
    EXPECT_DOUBLE_EQ(back.h, kReferencePoint.h);
}

// Rotation and scale together must come back too, which the forward transformation
// with negated parameters would miss by centimetres.
TEST(FourParamReverseTest, RoundTripReturnsTheStart) {
    const FourParameterSet sets[] = {
        {100, -200, 10, 0.00001, 5},
        {-3.5e6, 2.0e5, -86400, -0.002, -12.5},
        {0, 0, 324000, 0.5, 0},  // a quarter turn and half again the size
    };
    const GridPoint points[] = {kReferencePoint, {-3682526.192, 834112.254, -50}, {0, 0, 0}};
    for (const auto& params : sets) {
        const FourParamCoefficients k = MakeFourParamCoefficients(params);
        for (const auto& p : points) {
            SCOPED_TRACE(testing::Message() << "R = " << params.rotArcSec << ", X = " << p.x);
            ExpectNear(FourParamReverse(k, FourParamForward(k, p)), p, 1e-6);
        }
    }
}

}  // namespace
}  // namespace keldarn::geodesy
