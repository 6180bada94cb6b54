#include "earth/rasterizer.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace keldarn::earth {

void SurfaceBuffers::Reset(int width, int height)
{
    widthPx = width;
    heightPx = height;
    const size_t n = static_cast<size_t>(width) * height;
    invDepth.assign(n, 0.0f);
    column.resize(n);
    row.resize(n);
}

namespace {

// The pixel columns [first, last] of row y where an edge function e(x) = e0 + slope·(x − x0)
// is not negative, intersected with what is passed in.
void NarrowToEdge(double e0, double slope, int x0, double& first, double& last)
{
    if (slope > 0.0)
        first = std::max(first, x0 - e0 / slope);
    else if (slope < 0.0)
        last = std::min(last, x0 - e0 / slope);
    else if (e0 < 0.0)
        last = first - 1.0;
}

// Half-space rasterization of one projected triangle. Pixels on an edge belong to both
// triangles that share it; both write the same values there, so nothing is lost or doubled.
void DrawTriangle(const MeshVertex& a, MeshVertex b, MeshVertex c, SurfaceBuffers& buffers, int rowBegin,
                  int rowEnd)
{
    double area =
        (double(b.px) - a.px) * (double(c.py) - a.py) - (double(b.py) - a.py) * (double(c.px) - a.px);
    if (!(std::fabs(area) > 1e-12))
        return;  // degenerate, or NaN from a vertex without data
    if (area < 0.0) {
        std::swap(b, c);
        area = -area;
    }
    // Clamped in floating point first: a vertex just in front of the near plane can
    // project far beyond the range of int.
    const auto first = [](float low, int limit) {
        return static_cast<int>(std::ceil(std::clamp(low, -1.0f, static_cast<float>(limit))));
    };
    const auto last = [](float high, int limit) {
        return static_cast<int>(std::floor(std::clamp(high, -1.0f, static_cast<float>(limit))));
    };
    const int x0 = std::max(0, first(std::min({a.px, b.px, c.px}), buffers.widthPx));
    const int x1 = std::min(buffers.widthPx - 1, last(std::max({a.px, b.px, c.px}), buffers.widthPx));
    const int y0 = std::max(rowBegin, first(std::min({a.py, b.py, c.py}), rowEnd));
    const int y1 = std::min(rowEnd - 1, last(std::max({a.py, b.py, c.py}), rowEnd));
    if (x0 > x1 || y0 > y1)
        return;

    // e_pq(x, y) = (q.x − p.x)(y − p.y) − (q.y − p.y)(x − p.x), positive inside; the
    // barycentric weight of a vertex is the opposite edge's value over the area.
    const auto edgeAt = [](const MeshVertex& p, const MeshVertex& q, double x, double y) {
        return (double(q.px) - p.px) * (y - p.py) - (double(q.py) - p.py) * (x - p.px);
    };
    const double slopeA = -(double(c.py) - b.py), slopeB = -(double(a.py) - c.py),
                 slopeC = -(double(b.py) - a.py);
    const double inverseArea = 1.0 / area;
    const double colA = a.column * a.invZ, colB = b.column * b.invZ, colC = c.column * c.invZ;
    const double rowA = a.row * a.invZ, rowB = b.row * b.invZ, rowC = c.row * c.invZ;

    for (int y = y0; y <= y1; ++y) {
        const double eA0 = edgeAt(b, c, x0, y), eB0 = edgeAt(c, a, x0, y), eC0 = edgeAt(a, b, x0, y);
        double first = x0, last = x1;
        NarrowToEdge(eA0, slopeA, x0, first, last);
        NarrowToEdge(eB0, slopeB, x0, first, last);
        NarrowToEdge(eC0, slopeC, x0, first, last);
        const int xs = static_cast<int>(std::ceil(std::clamp(first - 1e-9, double(x0), x1 + 1.0)));
        const int xe = static_cast<int>(std::floor(std::clamp(last + 1e-9, x0 - 1.0, double(x1))));
        const size_t rowStart = static_cast<size_t>(y) * buffers.widthPx;
        for (int x = xs; x <= xe; ++x) {
            const double wA = std::max(0.0, eA0 + slopeA * (x - x0)) * inverseArea;
            const double wB = std::max(0.0, eB0 + slopeB * (x - x0)) * inverseArea;
            const double wC = std::max(0.0, eC0 + slopeC * (x - x0)) * inverseArea;
            const double invZ = wA * a.invZ + wB * b.invZ + wC * c.invZ;
            const size_t i = rowStart + x;
            if (invZ <= buffers.invDepth[i])
                continue;
            buffers.invDepth[i] = static_cast<float>(invZ);
            buffers.column[i] = static_cast<float>((wA * colA + wB * colB + wC * colC) / invZ);
            buffers.row[i] = static_cast<float>((wA * rowA + wB * rowB + wC * rowC) / invZ);
        }
    }
}

MeshVertex Lerp(const MeshVertex& p, const MeshVertex& q, float t)
{
    MeshVertex v;
    v.x = p.x + t * (q.x - p.x);
    v.y = p.y + t * (q.y - p.y);
    v.z = p.z + t * (q.z - p.z);
    v.column = p.column + t * (q.column - p.column);
    v.row = p.row + t * (q.row - p.row);
    return v;
}

// Cuts off the part of a triangle behind the near plane (Sutherland–Hodgman against one
// plane) and draws the rest as a fan. Attributes are linear in camera space, so the cut
// vertices interpolate them there.
void DrawClipped(const std::array<MeshVertex, 3>& triangle, const ViewProjection& view,
                 SurfaceBuffers& buffers, int rowBegin, int rowEnd)
{
    std::array<MeshVertex, 4> polygon;
    int count = 0;
    for (int k = 0; k < 3; ++k) {
        const MeshVertex& p = triangle[k];
        const MeshVertex& q = triangle[(k + 1) % 3];
        const bool pIn = p.z >= kNearPlaneM, qIn = q.z >= kNearPlaneM;
        if (pIn)
            polygon[count++] = p;
        if (pIn != qIn)
            polygon[count++] = Lerp(p, q, (kNearPlaneM - p.z) / (q.z - p.z));
    }
    for (int k = 0; k < count; ++k)
        view.Project(polygon[k]);
    for (int k = 1; k + 1 < count; ++k)
        DrawTriangle(polygon[0], polygon[k], polygon[k + 1], buffers, rowBegin, rowEnd);
}

}  // namespace

void RasterizeChunk(const MeshChunk& chunk, const ViewProjection& view, SurfaceBuffers& buffers, int rowBegin,
                    int rowEnd)
{
    const std::vector<MeshVertex>& v = chunk.vertices;
    for (size_t k = 0; k + 2 < chunk.indices.size(); k += 3) {
        const MeshVertex& a = v[chunk.indices[k]];
        const MeshVertex& b = v[chunk.indices[k + 1]];
        const MeshVertex& c = v[chunk.indices[k + 2]];
        const int inFront = (a.z >= kNearPlaneM) + (b.z >= kNearPlaneM) + (c.z >= kNearPlaneM);
        if (inFront == 3) {
            if (std::max({a.py, b.py, c.py}) < rowBegin || std::min({a.py, b.py, c.py}) >= rowEnd)
                continue;
            DrawTriangle(a, b, c, buffers, rowBegin, rowEnd);
        } else if (inFront > 0) {
            DrawClipped({a, b, c}, view, buffers, rowBegin, rowEnd);
        }
    }
}

}  // namespace keldarn::earth
