#include "app/services/handles.hpp"
#include "app/services/memory.hpp"
#include "raster/buffer.hpp"
#include "raster/draw.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace zoetra {
namespace {

constexpr colour grey_background{0, 10, 20, 30};

// Fills every pixel with a value that depends on its position and a seed.
void paint_pattern(buffer& b, unsigned seed) {
    buffer_lock hold(b);
    pixel* p = b.pixels();
    for (std::size_t i = 0; i < std::size_t(b.width()) * b.height(); ++i)
        p[i] = pixel(i * 2654435761u + seed) & 0x00FFFFFFu;
}

bool has_pattern(buffer& b, unsigned seed) {
    buffer_lock hold(b);
    const pixel* p = b.pixels();
    for (std::size_t i = 0; i < std::size_t(b.width()) * b.height(); ++i)
        if (p[i] != (pixel(i * 2654435761u + seed) & 0x00FFFFFFu))
            return false;
    return true;
}

TEST(Buffer, FreshBufferIsBackgroundWithTheTransparentFlag) {
    buffer b(7, 5, grey_background);
    EXPECT_EQ(b.byte_size(), 7u * 5u * 4u);
    EXPECT_EQ(buffer::ring_size(), 1);
    buffer_lock hold(b);
    for (int i = 0; i < 35; ++i)
        EXPECT_EQ(b.pixels()[i], filled_pixel(grey_background));
}

TEST(Buffer, SwapOutAndBackReadsBitForBit) {
    buffer a(40, 30, grey_background);
    paint_pattern(a, 7);
    a.set_swappable(true);
    EXPECT_TRUE(buffer::swap_out_one());
    EXPECT_TRUE(a.on_disk());
    EXPECT_FALSE(buffer::swap_out_one());
    EXPECT_TRUE(has_pattern(a, 7));
    EXPECT_FALSE(a.on_disk());
    EXPECT_TRUE(a.swappable());
}

} // namespace
} // namespace zoetra
