#include "geodesy/control_points.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <stdlib.h>

namespace keldarn::geodesy {
namespace {

namespace fs = std::filesystem;

// An independent least-squares solve: the four unknowns (c, s, dx, dy) from the observation
// equations, and the height plane, both by numpy's lstsq. dx = X̄′ − c·X̄ + s·Ȳ follows c with
// a lever of X̄ ≈ 3.3e6 m, so agreeing to 1e-9 of dx needs c to 1e-14: the coordinates are
// reduced to their means first (a change of origin, which the solution does not depend on);
// with raw northings lstsq misses dx by some 1e-7 m.
// The unit-weight error is the residuals' sum of squares over the degrees of freedom, rows
// minus columns of the design matrix.
// Input lines X Y H X′ Y′ H′; output c s dx dy meanDH planeA planeB planeC m0.
constexpr const char* kOracle = R"(
import sys, numpy as np
X, Y, H, Xt, Yt, Ht = np.loadtxt(sys.argv[1], ndmin=2).T
x0, y0, xt0, yt0 = X.mean(), Y.mean(), Xt.mean(), Yt.mean()
one, zero = np.ones(len(X)), np.zeros(len(X))
u, v = X - x0, Y - y0
A = np.vstack([np.column_stack([u, -v, one, zero]), np.column_stack([v, u, zero, one])])
(c, s, du, dv), vv = np.linalg.lstsq(A, np.concatenate([Xt - xt0, Yt - yt0]), rcond=None)[:2]
four = [c, s, xt0 + du - (c * x0 - s * y0), yt0 + dv - (s * x0 + c * y0)]
z = Ht - H
plane = np.linalg.lstsq(np.column_stack([one, X - X.mean(), Y - Y.mean()]), z, rcond=None)[0]
m0 = np.sqrt(vv[0] / (A.shape[0] - A.shape[1]))
print(*[repr(float(v)) for v in [*four, z.mean(), *plane, m0]])
)";

// Targets from the sources by the given transformation, the height difference tilted by
// slopeX, slopeY (m/m) about the sources' centroid.
std::vector<ControlPoint> Transformed(const std::vector<GridPoint>& sources, const FourParameterSet& params,
                                      double slopeX = 0, double slopeY = 0)
{
    GridPoint centre;
    for (const GridPoint& p : sources) {
        centre.x += p.x / static_cast<double>(sources.size());
        centre.y += p.y / static_cast<double>(sources.size());
    }
    std::vector<ControlPoint> points;
    for (const GridPoint& p : sources) {
        GridPoint t = FourParamForward(params, p);
        t.h += slopeX * (p.x - centre.x) + slopeY * (p.y - centre.y);
        points.push_back({"K" + std::to_string(points.size() + 1), p, t});
    }
    return points;
}

// The corners and middle of a 2 km square in zone 39's plane.
const std::vector<GridPoint> kArea = {{3312000.125, 452000.5, 40},   {3314000.75, 452100.25, 55},
                                      {3313900.5, 454000.125, 48},   {3311950.25, 453900.75, 62},
                                      {3313010.375, 453020.625, 51}, {3312500.5, 452700.5, 44}};
const FourParameterSet kParams{-123.456, 87.654, 12.34, 2.5e-5, 3.21};

TEST(SolveFourParametersTest, AgreesWithAnIndependentLeastSquaresSolve)
{
    std::mt19937_64 random(20240517);
    std::uniform_real_distribution<double> northing(3.28e6, 3.32e6), easting(4.0e5, 6.0e5), height(10, 300);
    std::normal_distribution<double> noise(0.0, 0.03);
    std::vector<GridPoint> sources;
    for (int i = 0; i < 12; ++i)
        sources.push_back({northing(random), easting(random), height(random)});
    std::vector<ControlPoint> points = Transformed(sources, kParams, 2e-5, -1e-5);
    for (ControlPoint& p : points) {
        p.target.x += noise(random);
        p.target.y += noise(random);
        p.target.h += noise(random);
    }

    const fs::path folder = fs::temp_directory_path() / ("keldarn-control-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "oracle.py") << kOracle;
    {
        std::ofstream data(folder / "points.txt");
        data.precision(17);
        for (const ControlPoint& p : points)
            data << p.source.x << ' ' << p.source.y << ' ' << p.source.h << ' ' << p.target.x << ' '
                 << p.target.y << ' ' << p.target.h << '\n';
    }
    const std::string command = "/usr/bin/python3 " + (folder / "oracle.py").string() + " " +
                                (folder / "points.txt").string() + " > " + (folder / "out.txt").string();
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    double c, s, dx, dy, meanDH, planeA, planeB, planeC, m0;
    std::ifstream(folder / "out.txt") >> c >> s >> dx >> dy >> meanDH >> planeA >> planeB >> planeC >> m0;
    fs::remove_all(folder);

    const ControlSolution mean = SolveFourParameters(points, HeightFit::Mean);
    const ControlSolution plane = SolveFourParameters(points, HeightFit::Plane);
    const FourParamCoefficients k = MakeFourParamCoefficients(mean.parameters);
    EXPECT_NEAR(k.c, c, 1e-9 * std::abs(c));
    EXPECT_NEAR(k.s, s, 1e-9 * std::abs(s));
    EXPECT_NEAR(mean.parameters.dxM, dx, 1e-9 * std::abs(dx));
    EXPECT_NEAR(mean.parameters.dyM, dy, 1e-9 * std::abs(dy));
    EXPECT_NEAR(mean.parameters.dHM, meanDH, 1e-9 * std::abs(meanDH));
    EXPECT_NEAR(plane.parameters.dHM, planeA, 1e-9 * std::abs(planeA));
    EXPECT_NEAR(plane.heightSlopeX, planeB, 1e-9 * std::abs(planeB));
    EXPECT_NEAR(plane.heightSlopeY, planeC, 1e-9 * std::abs(planeC));
    EXPECT_GT(mean.rmsPlaneM, 0.01);  // the noise is there, so the fit is not trivially exact
    EXPECT_EQ(mean.planeRedundancy, 2 * 12 - 4);
    ASSERT_TRUE(mean.unitWeightErrorM.has_value());
    EXPECT_NEAR(*mean.unitWeightErrorM, m0, 1e-9 * m0);
}

TEST(SolveFourParametersTest, RecoversExactTransformations)
{
    const struct {
        const char* label;
        std::vector<GridPoint> sources;
        HeightFit fit;
        double slopeX, slopeY;
    } cases[] = {
        {"two points", {kArea[0], kArea[2]}, HeightFit::Mean, 0, 0},
        {"six points, mean height", kArea, HeightFit::Mean, 0, 0},
        {"three points, plane", {kArea[0], kArea[1], kArea[3]}, HeightFit::Plane, 3e-5, -2e-5},
        {"six points, plane", kArea, HeightFit::Plane, -4e-5, 1e-5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::vector<ControlPoint> points = Transformed(c.sources, kParams, c.slopeX, c.slopeY);
        const ControlSolution solution = SolveFourParameters(points, c.fit);
        const FourParameterSet& p = solution.parameters;
        EXPECT_NEAR(p.dxM, kParams.dxM, 1e-5);  // dx moves by X̄ ≈ 3.3e6 m times an error of c
        EXPECT_NEAR(p.dyM, kParams.dyM, 1e-5);
        EXPECT_NEAR(p.rotArcSec, kParams.rotArcSec, 1e-6);
        EXPECT_NEAR(p.scale, kParams.scale, 1e-12);
        EXPECT_NEAR(p.dHM, kParams.dHM, 1e-9);
        EXPECT_NEAR(solution.heightSlopeX, c.slopeX, 1e-12);
        EXPECT_NEAR(solution.heightSlopeY, c.slopeY, 1e-12);
        for (std::size_t i = 0; i < points.size(); ++i) {
            const GridPoint& source = points[i].source;
            const GridPoint t = FourParamForward(p, source);
            const double h = t.h + solution.heightSlopeX * (source.x - solution.centroidX) +
                             solution.heightSlopeY * (source.y - solution.centroidY);
            EXPECT_NEAR(t.x, points[i].target.x, 1e-6);
            EXPECT_NEAR(t.y, points[i].target.y, 1e-6);
            EXPECT_NEAR(h, points[i].target.h, 1e-6);
            EXPECT_NEAR(std::hypot(solution.residuals[i].vxM, solution.residuals[i].vyM), 0, 1e-6);
        }
        EXPECT_LT(solution.rmsPlaneM + solution.rmsHeightM, 1e-6);
        EXPECT_EQ(solution.planeRedundancy, 2 * static_cast<int>(points.size()) - 4);
        // Two points fit exactly: no redundancy, so no unit-weight error either.
        EXPECT_EQ(solution.unitWeightErrorM.has_value(), points.size() > 2);
        if (points.size() == 2)
            EXPECT_EQ(solution.worst, -1);
        else
            EXPECT_TRUE(solution.worst >= 0 && solution.worst < static_cast<int>(points.size()));
    }
}

TEST(SolveFourParametersTest, AWrongPointStandsOutAndLeavingItOutRemovesIt)
{
    std::vector<ControlPoint> points = Transformed(kArea, kParams);
    points[3].target.x += 0.5;
    const ControlSolution all = SolveFourParameters(points, HeightFit::Mean);
    EXPECT_EQ(all.worst, 3);
    EXPECT_GT(all.rmsPlaneM, 0.1);

    points[3].used = false;
    const ControlSolution without = SolveFourParameters(points, HeightFit::Plane);
    EXPECT_NEAR(without.parameters.dxM, kParams.dxM, 1e-5);
    EXPECT_NEAR(without.parameters.rotArcSec, kParams.rotArcSec, 1e-6);
    EXPECT_LT(without.rmsPlaneM, 1e-6);
    EXPECT_NEAR(without.residuals[3].vxM, 0.5, 1e-6);
    EXPECT_NEAR(without.residuals[3].vyM, 0, 1e-6);
    EXPECT_NE(without.worst, 3);

    // The same as the solution without the point at all.
    std::vector<ControlPoint> five = points;
    five.erase(five.begin() + 3);
    const ControlSolution removed = SolveFourParameters(five, HeightFit::Plane);
    EXPECT_EQ(without.parameters.dxM, removed.parameters.dxM);
    EXPECT_EQ(without.parameters.rotArcSec, removed.parameters.rotArcSec);
    EXPECT_EQ(without.heightSlopeX, removed.heightSlopeX);
}

TEST(SolveFourParametersTest, RefusesSetsWithoutASolution)
{
    const std::vector<ControlPoint> good = Transformed(kArea, kParams);
    const auto with = [&](auto change) {
        std::vector<ControlPoint> points = good;
        change(points);
        return points;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* label;
        std::vector<ControlPoint> points;
        HeightFit fit;
        std::string message;
    } cases[] = {
        {"one point", {good[0]}, HeightFit::Mean, "至少需要两个参与计算的控制点"},
        {"others unused",
         with([](auto& p) { p[1].used = p[2].used = p[3].used = p[4].used = p[5].used = false; }),
         HeightFit::Mean, "至少需要两个参与计算的控制点"},
        {"sources 0.5 mm apart", with([](auto& p) {
             p[4].source = {p[1].source.x, p[1].source.y + 0.0005, 0};
         }),
         HeightFit::Mean, "K2 与 K5"},
        {"not finite", with([&](auto& p) { p[2].target.h = nan; }), HeightFit::Mean, "K3"},
        {"two points for a plane", {good[0], good[1]}, HeightFit::Plane, "高程拟合需要至少三个"},
        {"plane on a line",
         Transformed({{3e6, 5e5, 0}, {3.001e6, 5.001e5, 0}, {3.002e6, 5.002e5, 0}}, kParams),
         HeightFit::Plane, "不在一条直线上"},
        {"all targets at one place", with([](auto& p) {
             for (auto& q : p)
                 q.target = p[0].target;
         }),
         HeightFit::Mean, "比例因子不大于零"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        try {
            SolveFourParameters(c.points, c.fit);
            ADD_FAILURE() << "no error";
        } catch (const ControlPointError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
    }
}

}  // namespace
}  // namespace keldarn::geodesy
