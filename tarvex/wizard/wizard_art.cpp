#include "tarvex/wizard/wizard_art.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

namespace {

// Samples per pixel side: the edges of the shapes are smoothed by coverage.
constexpr int k_samples = 4;
constexpr double k_pi = 3.14159265358979323846;

struct rgb {
    uint8_t r, g, b;
};

// Paints a colour over the pixels a shape covers (inside(x, y) in pixel units),
// blended by how much of each pixel it covers and by `alpha`.
void paint(ui_image& img, const std::function<bool(double, double)>& inside, rgb c, double alpha = 1.0)
{
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            int hits = 0;
            for (int sy = 0; sy < k_samples; ++sy)
                for (int sx = 0; sx < k_samples; ++sx)
                    if (inside(x + (sx + 0.5) / k_samples, y + (sy + 0.5) / k_samples)) ++hits;
            if (hits == 0) continue;
            const double a = alpha * hits / (k_samples * k_samples);
            uint32_t& px = img.argb[static_cast<size_t>(y) * static_cast<size_t>(img.width) + static_cast<size_t>(x)];
            const double da = ((px >> 24) & 0xff) / 255.0;
            const double out_a = a + da * (1 - a);
            auto mix = [&](int shift, uint8_t src) {
                const double d = (px >> shift) & 0xff;
                return static_cast<uint32_t>(std::lround((src * a + d * da * (1 - a)) / out_a));
            };
            px = (static_cast<uint32_t>(std::lround(out_a * 255)) << 24) | (mix(16, c.r) << 16) | (mix(8, c.g) << 8) |
                 mix(0, c.b);
        }
}

ui_image blank(int size)
{
    ui_image img;
    img.width = img.height = std::max(1, size);
    img.argb.assign(static_cast<size_t>(img.width) * static_cast<size_t>(img.height), 0u);
    return img;
}

bool in_ellipse(double x, double y, double cx, double cy, double rx, double ry)
{
    const double dx = (x - cx) / rx, dy = (y - cy) / ry;
    return dx * dx + dy * dy <= 1.0;
}

// A database drum: body, rim and a lit top, within the box (left, top, width, height).
void drum(ui_image& img, double left, double top, double w, double h, rgb body, rgb rim, rgb lid)
{
    const double rx = w / 2, ry = h / 7, cx = left + rx;
    const double y0 = top + ry, y1 = top + h - ry;
    auto shape = [=](double x, double y) {
        return (x >= left && x <= left + w && y >= y0 && y <= y1) || in_ellipse(x, y, cx, y1, rx, ry) ||
               in_ellipse(x, y, cx, y0, rx, ry);
    };
    paint(img, shape, rim);
    const double e = w / 16;
    paint(
        img,
        [=](double x, double y) {
            return (x >= left + e && x <= left + w - e && y >= y0 && y <= y1 - e) ||
                   in_ellipse(x, y, cx, y1 - e, rx - e, ry - e);
        },
        body);
    paint(
        img, [=](double x, double y) { return in_ellipse(x, y, cx, y0, rx - e, ry - e); }, lid);
    // Two bands, as a drum of records is drawn.
    for (double band : {0.45, 0.72})
        paint(
            img,
            [=](double x, double y) {
                const double yb = y0 + (y1 - y0) * band;
                return x >= left + e && x <= left + w - e && in_ellipse(x, y, cx, yb, rx - e, ry) &&
                       !in_ellipse(x, y, cx, yb - e * 1.5, rx - e, ry);
            },
            rim, 0.6);
}

} // namespace

ui_image wizard_program_icon(int size)
{
    ui_image img = blank(size);
    const double s = img.width / 32.0;
    // The source behind, the target in front, the arrow from one to the other.
    drum(img, 2 * s, 2 * s, 15 * s, 19 * s, {0x5a, 0x7f, 0xb8}, {0x1f, 0x3a, 0x66}, {0xb6, 0xcc, 0xec});
    drum(img, 14 * s, 10 * s, 16 * s, 20 * s, {0xc8, 0x4a, 0x32}, {0x6e, 0x1c, 0x10}, {0xf0, 0xb0, 0x9e});
    auto arrow = [s](double x, double y) {
        x /= s;
        y /= s;
        const bool shaft = x >= 5 && x <= 16 && y >= 24 && y <= 27;
        const bool head = x >= 15 && x <= 21 && std::abs(y - 25.5) <= (21 - x) * 0.9;
        return shaft || head;
    };
    paint(img,
          [arrow, s](double x, double y) {
              return arrow(x - 0.8 * s, y) || arrow(x + 0.8 * s, y) || arrow(x, y - 0.8 * s) || arrow(x, y + 0.8 * s);
          },
          {0xff, 0xff, 0xff});
    paint(img, arrow, {0x2e, 0x8b, 0x3e});
    return img;
}

ui_image wizard_wait_frame(int frame, int frames, int size)
{
    ui_image img = blank(size);
    const int n = std::max(1, frames);
    const double c = img.width / 2.0, ring = img.width * 0.34, dot = img.width * 0.1;
    for (int i = 0; i < n; ++i) {
        // The bright dot is this frame's; those behind it fade.
        const int behind = ((frame - i) % n + n) % n;
        const double a = 1.0 - 0.8 * behind / n;
        const double angle = 2 * k_pi * i / n - k_pi / 2;
        const double x0 = c + ring * std::cos(angle), y0 = c + ring * std::sin(angle);
        paint(
            img, [=](double x, double y) { return in_ellipse(x, y, x0, y0, dot, dot); }, {0x30, 0x60, 0xa0}, a);
    }
    return img;
}
