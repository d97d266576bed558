// SPDX-License-Identifier: MIT
#include "scene.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace telo::bench {

namespace {

constexpr double kPi = 3.14159265358979;
/// Samples per frame pixel along each axis.
constexpr int kSupersampling = 3;
/// Cells of the mesh the label is cut into along its longer side; each cell is mapped as two
/// flat triangles.
constexpr int kMeshCells = 96;

struct Vertex {
    double x;
    double y;
    /// Label raster position.
    double u;
    double v;
    /// Brightness factor from the surface's slant.
    double shade;
    /// False where a curved label has turned away from the camera.
    bool visible;
};

/// The label point in camera space and its shading.
struct SurfacePoint {
    double x;
    double y;
    double z;
    double shade;
    bool visible;
};

SurfacePoint surface(const Label& label, const Pose& pose, double u, double v) {
    const double ppm = label.pixelsPerModule;
    // Module units from the label's centre.
    double a = (u - label.raster.width / 2.0) / ppm;
    double b = (v - label.raster.height / 2.0) / ppm;
    double depth = 0;
    double shade = 1;
    bool visible = true;
    if (pose.arc > 0) {
        const double span = (pose.axisAlongBars ? label.symbolRight - label.symbolLeft
                                                : label.symbolBottom - label.symbolTop) /
                            ppm;
        const double radius = span / pose.arc;
        double& across = pose.axisAlongBars ? a : b;
        const double angle = across / radius;
        across = radius * std::sin(angle);
        depth = radius * (1 - std::cos(angle));
        shade = 0.35 + 0.65 * std::cos(angle);
        visible = std::fabs(angle) < kPi / 2;
    }
    // Into frame pixels at the label's distance, then tilted and turned.
    double x = a * pose.module;
    double y = b * pose.module;
    double z = depth * pose.module;
    const double axis = pose.tiltAxis * kPi / 180;
    const double tilt = pose.tilt * kPi / 180;
    // Rotation by `tilt` about the in-plane unit axis (cos axis, sin axis, 0) (Rodrigues).
    const double kx = std::cos(axis);
    const double ky = std::sin(axis);
    const double c = std::cos(tilt);
    const double s = std::sin(tilt);
    const double dot = kx * x + ky * y;
    const double rx = x * c + (ky * z) * s + kx * dot * (1 - c);
    const double ry = y * c + (-kx * z) * s + ky * dot * (1 - c);
    const double rz = z * c + (kx * y - ky * x) * s;
    const double turn = pose.rotation * kPi / 180;
    x = rx * std::cos(turn) - ry * std::sin(turn);
    y = rx * std::sin(turn) + ry * std::cos(turn);
    return {x, y, rz, shade, visible};
}

Vertex makeVertex(const Label& label, const Pose& pose, double u, double v) {
    const SurfacePoint p = surface(label, pose, u, v);
    // The label's centre sits at distance kFocalPixels, where one unit is one frame pixel.
    const double offsetX = pose.centreX - 320;
    const double offsetY = pose.centreY - 240;
    const double z = kFocalPixels + p.z;
    return {320 + kFocalPixels * (p.x + offsetX) / z,
            240 + kFocalPixels * (p.y + offsetY) / z,
            u,
            v,
            p.shade,
            p.visible};
}

/// Accumulates the samples of triangle (a, b, c) into `sum` and `covered`.
void drawTriangle(const Label& label, const Vertex& a, const Vertex& b, const Vertex& c, int width,
                  int height, std::vector<float>& sum, std::vector<int>& covered) {
    const double area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    if (std::fabs(area) < 1e-9 || !a.visible || !b.visible || !c.visible) {
        return;
    }
    const double step = 1.0 / kSupersampling;
    const double left = std::max(std::min({a.x, b.x, c.x}), -0.5);
    const double right = std::min(std::max({a.x, b.x, c.x}), width - 0.5);
    const double top = std::max(std::min({a.y, b.y, c.y}), -0.5);
    const double bottom = std::min(std::max({a.y, b.y, c.y}), height - 0.5);
    // Sample points at pixel - 0.5 + (i + 0.5) * step.
    const int i0 = static_cast<int>(std::ceil((left + 0.5) / step - 0.5));
    const int i1 = static_cast<int>(std::floor((right + 0.5) / step - 0.5));
    const int j0 = static_cast<int>(std::ceil((top + 0.5) / step - 0.5));
    const int j1 = static_cast<int>(std::floor((bottom + 0.5) / step - 0.5));
    for (int j = j0; j <= j1; ++j) {
        const double y = -0.5 + (j + 0.5) * step;
        for (int i = i0; i <= i1; ++i) {
            const double x = -0.5 + (i + 0.5) * step;
            const double wa = ((b.x - x) * (c.y - y) - (c.x - x) * (b.y - y)) / area;
            const double wb = ((c.x - x) * (a.y - y) - (a.x - x) * (c.y - y)) / area;
            const double wc = 1 - wa - wb;
            // Half-open edges so that neighbouring triangles never count a sample twice.
            if (wa < 0 || wb < 0 || wc <= 0) {
                continue;
            }
            const double u = wa * a.u + wb * b.u + wc * c.u;
            const double v = wa * a.v + wb * b.v + wc * c.v;
            const double shade = wa * a.shade + wb * b.shade + wc * c.shade;
            const int px = std::clamp(i / kSupersampling, 0, width - 1);
            const int py = std::clamp(j / kSupersampling, 0, height - 1);
            const std::size_t at = static_cast<std::size_t>(py) * width + px;
            sum[at] += static_cast<float>(shade * label.raster.sample(static_cast<float>(u - 0.5),
                                                                      static_cast<float>(v - 0.5)));
            ++covered[at];
        }
    }
}

}  // namespace

std::array<double, 2> projectLabelPoint(const Label& label, const Pose& pose, double x, double y) {
    const Vertex vertex = makeVertex(label, pose, x, y);
    return {vertex.x, vertex.y};
}

Outline projectOutline(const Label& label, const Pose& pose) {
    Outline outline;
    const double w = label.raster.width;
    const double h = label.raster.height;
    const double corners[4][2] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
    const double symbol[4][2] = {{label.symbolLeft, label.symbolTop},
                                 {label.symbolRight, label.symbolTop},
                                 {label.symbolRight, label.symbolBottom},
                                 {label.symbolLeft, label.symbolBottom}};
    for (int i = 0; i < 4; ++i) {
        outline.label[i] = projectLabelPoint(label, pose, corners[i][0], corners[i][1]);
        outline.symbol[i] = projectLabelPoint(label, pose, symbol[i][0], symbol[i][1]);
    }
    return outline;
}

void placeLabel(const Label& label, const Pose& pose, Raster& scene) {
    const int width = label.raster.width;
    const int height = label.raster.height;
    const double cell = static_cast<double>(std::max(width, height)) / kMeshCells;
    const int columns = std::max(1, static_cast<int>(std::ceil(width / cell)));
    const int rows = std::max(1, static_cast<int>(std::ceil(height / cell)));
    std::vector<Vertex> mesh;
    mesh.reserve(static_cast<std::size_t>(columns + 1) * (rows + 1));
    for (int r = 0; r <= rows; ++r) {
        for (int c = 0; c <= columns; ++c) {
            mesh.push_back(makeVertex(label, pose, static_cast<double>(width) * c / columns,
                                      static_cast<double>(height) * r / rows));
        }
    }
    std::vector<float> sum(scene.pixels.size(), 0);
    std::vector<int> covered(scene.pixels.size(), 0);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const Vertex& topLeft = mesh[r * (columns + 1) + c];
            const Vertex& topRight = mesh[r * (columns + 1) + c + 1];
            const Vertex& bottomLeft = mesh[(r + 1) * (columns + 1) + c];
            const Vertex& bottomRight = mesh[(r + 1) * (columns + 1) + c + 1];
            drawTriangle(label, topLeft, topRight, bottomRight, scene.width, scene.height, sum,
                         covered);
            drawTriangle(label, topLeft, bottomRight, bottomLeft, scene.width, scene.height, sum,
                         covered);
        }
    }
    constexpr float kSamples = kSupersampling * kSupersampling;
    for (std::size_t i = 0; i < scene.pixels.size(); ++i) {
        const float share = std::min(covered[i] / kSamples, 1.0f);
        scene.pixels[i] = scene.pixels[i] * (1 - share) + sum[i] / std::max(covered[i], 1) * share;
    }
}

}  // namespace telo::bench
