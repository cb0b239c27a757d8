// The program's own pictures: an icon with a shape (not a filled square) at
// every size it is shown at, and wait frames that differ from one another and
// come round again after the last.
#include <gtest/gtest.h>

#include <set>

#include "tarvex/wizard/wizard_art.h"

namespace {

uint32_t at(const ui_image& img, int x, int y)
{
    return img.argb[static_cast<size_t>(y) * static_cast<size_t>(img.width) + static_cast<size_t>(x)];
}

uint32_t alpha(uint32_t px) { return px >> 24; }

} // namespace

TEST(wizard_art, the_program_icon_has_a_shape_at_each_size)
{
    for (int size : {16, 32, 48}) {
        const ui_image icon = wizard_program_icon(size);
        ASSERT_EQ(icon.width, size);
        ASSERT_EQ(icon.height, size);
        ASSERT_EQ(icon.argb.size(), static_cast<size_t>(size * size));
        // Transparent corners around an opaque middle.
        EXPECT_EQ(alpha(at(icon, 0, size - 1)), 0u) << size;
        EXPECT_EQ(alpha(at(icon, size - 1, 0)), 0u) << size;
        EXPECT_EQ(alpha(at(icon, size / 2, size / 2)), 0xffu) << size;
        std::set<uint32_t> colours(icon.argb.begin(), icon.argb.end());
        EXPECT_GT(colours.size(), 20u) << size << ": smoothed edges and several colours";
    }
}

TEST(wizard_art, wait_frames_differ_and_come_round)
{
    constexpr int frames = 8;
    std::set<std::vector<uint32_t>> seen;
    for (int k = 0; k < frames; ++k) {
        const ui_image f = wizard_wait_frame(k, frames, 32);
        ASSERT_EQ(f.width, 32);
        seen.insert(f.argb);
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(frames)) << "every frame its own";
    EXPECT_EQ(wizard_wait_frame(frames, frames, 32).argb, wizard_wait_frame(0, frames, 32).argb);
    // The brightest dot moves: frame 0 at the top, frame 2 at the right.
    const ui_image f0 = wizard_wait_frame(0, frames, 32), f2 = wizard_wait_frame(2, frames, 32);
    EXPECT_GT(alpha(at(f0, 16, 5)), alpha(at(f2, 16, 5)));
    EXPECT_GT(alpha(at(f2, 27, 16)), alpha(at(f0, 27, 16)));
}
