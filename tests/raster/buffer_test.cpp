#include "app/services/handles.hpp"
#include "app/services/memory.hpp"
#include "raster/buffer.hpp"
#include "raster/draw.hpp"
#include "raster_test_support.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace zoetra {
namespace {

constexpr colour grey_background{0, 10, 20, 30};

// Fills every pixel with a value that depends on its position and a seed.
void paint_pattern(buffer& b, unsigned seed) {
    buffer_lock hold(b);
    pixel* p = b.pixels();
    for (std::size_t i = 0; i < std::size_t(b.width()) * b.height(); ++i)
        p[i] = pixel(i * 2654435761u + seed);
}

bool has_pattern(buffer& b, unsigned seed) {
    buffer_lock hold(b);
    const pixel* p = b.pixels();
    for (std::size_t i = 0; i < std::size_t(b.width()) * b.height(); ++i)
        if (p[i] != pixel(i * 2654435761u + seed))
            return false;
    return true;
}

TEST(Buffer, FreshBufferIsBackgroundAndJoinsTheRing) {
    EXPECT_EQ(buffer::ring_size(), 0);
    EXPECT_FALSE(buffer::swap_out_one()); // empty ring
    buffer b(7, 5, grey_background);
    EXPECT_EQ(b.byte_size(), 7u * 5u * 4u);
    EXPECT_EQ(b.window(), (rect{0, 0, 7, 5}));
    EXPECT_EQ(buffer::ring_size(), 1);
    {
        buffer_lock hold(b);
        for (int i = 0; i < 35; ++i)
            EXPECT_EQ(b.pixels()[i], filled_pixel(grey_background));
    }
    auto twin = b.copy();
    EXPECT_EQ(buffer::ring_size(), 2);
    EXPECT_FALSE(twin->is_locked() || twin->on_disk() || twin->swappable());
    EXPECT_EQ(twin->background(), grey_background);
    twin.reset();
    EXPECT_EQ(buffer::ring_size(), 1);
}

TEST(Buffer, SwapOutAndBackReadsBitForBit) {
    test::recording_shell shell;
    buffer a(40, 30, grey_background);
    paint_pattern(a, 7);
    a.set_swappable(true);
    const int handles = handles_in_use();
    EXPECT_TRUE(buffer::swap_out_one());
    EXPECT_TRUE(a.on_disk());
    EXPECT_EQ(handles_in_use(), handles - 1);
    EXPECT_FALSE(buffer::swap_out_one()); // nothing else to move
    EXPECT_TRUE(has_pattern(a, 7));
    EXPECT_FALSE(a.on_disk());
    EXPECT_TRUE(a.swappable());
    EXPECT_EQ(shell.statuses, std::vector<std::string>{"Reading buffer from disk."});

    // A copy of a buffer on disk brings the source back first.
    EXPECT_TRUE(buffer::swap_out_one());
    auto twin = a.copy();
    EXPECT_TRUE(has_pattern(*twin, 7));
}

TEST(Buffer, LockedBuffersNeverSwap) {
    buffer a(8, 8, grey_background);
    a.set_swappable(true);
    a.lock();
    EXPECT_FALSE(a.can_swap());
    EXPECT_FALSE(buffer::swap_out_one());
    EXPECT_FALSE(free_memory_on_demand());
    a.unlock();
    EXPECT_TRUE(free_memory_on_demand());
    EXPECT_TRUE(a.on_disk());
    // Drawing into a buffer on disk brings it back first.
    draw_line(a, 0, 0, 7, 7, colour{0, 1, 1, 1});
    EXPECT_FALSE(a.on_disk() || a.is_locked());
    EXPECT_EQ(get_pixel(a, 7, 7), (colour{0, 1, 1, 1}));
}

TEST(Buffer, RoundRobinFromTheHead) {
    buffer a(8, 8, grey_background);
    buffer b(8, 8, grey_background);
    a.set_swappable(true);
    b.set_swappable(true);
    EXPECT_TRUE(free_memory_on_demand());
    EXPECT_TRUE(a.on_disk() && !b.on_disk());
    EXPECT_TRUE(free_memory_on_demand());
    EXPECT_TRUE(b.on_disk());
    EXPECT_FALSE(free_memory_on_demand());
    // Both back; the head is past b, so a goes first again.
    a.lock(), a.unlock(), b.lock(), b.unlock();
    EXPECT_TRUE(buffer::swap_out_one());
    EXPECT_TRUE(a.on_disk() && !b.on_disk());
}

TEST(Buffer, DestroyingTheHeadMovesItOn) {
    auto a = std::make_unique<buffer>(8, 8, grey_background);
    buffer b(8, 8, grey_background);
    buffer c(8, 8, grey_background);
    b.set_swappable(true);
    c.set_swappable(true);
    a->set_swappable(true);
    a->lock(); // destroy also works on a locked buffer
    a.reset();
    EXPECT_EQ(buffer::ring_size(), 2);
    EXPECT_TRUE(buffer::swap_out_one());
    EXPECT_TRUE(b.on_disk() && !c.on_disk());
}

TEST(Buffer, DestroyedWhileOnDisk) {
    const int handles = handles_in_use();
    {
        buffer a(16, 16, grey_background);
        a.set_swappable(true);
        EXPECT_TRUE(buffer::swap_out_one());
    }
    EXPECT_EQ(buffer::ring_size(), 0);
    EXPECT_EQ(handles_in_use(), handles);
}

// Restores a resource limit when the test ends.
class limit_guard {
  public:
    limit_guard(int resource, rlim_t soft) : resource_(resource) {
        getrlimit(resource_, &old_);
        rlimit lowered = old_;
        lowered.rlim_cur = soft;
        setrlimit(resource_, &lowered);
    }
    ~limit_guard() { setrlimit(resource_, &old_); }

  private:
    int resource_;
    rlimit old_{};
};

TEST(Buffer, SwapFileFailuresMakeTheBufferUnswappable) {
    test::recording_shell shell;
    buffer a(64, 64, grey_background);
    paint_pattern(a, 3);
    a.set_swappable(true);
    {
        // The swap file cannot grow: the write fails.
        auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
        limit_guard small_files(RLIMIT_FSIZE, 1000);
        EXPECT_FALSE(buffer::swap_out_one());
        std::signal(SIGXFSZ, old_handler);
    }
    EXPECT_EQ(shell.statuses, std::vector<std::string>{"Failed writing to disk."});
    EXPECT_FALSE(a.swappable());
    EXPECT_FALSE(a.on_disk());
    EXPECT_TRUE(has_pattern(a, 3));

    buffer b(8, 8, grey_background);
    b.set_swappable(true);
    {
        // No descriptor left for a temporary file.
        int lowest_free = dup(0);
        close(lowest_free);
        limit_guard no_files(RLIMIT_NOFILE, rlim_t(lowest_free));
        EXPECT_FALSE(buffer::swap_out_one());
    }
    EXPECT_FALSE(b.swappable());
    EXPECT_EQ(shell.statuses.size(), 1u);
}

TEST(Buffer, SwapRunsUnderARealByteBudget) {
    // Room for three buffers of 100 x 100 while eight stay alive: every
    // creation and every lock past the third sends others to temporary files.
    constexpr int count = 8;
    const std::size_t one = 100 * 100 * 4;
    const std::size_t old_budget = heap_budget();
    set_heap_budget(heap_bytes_in_use() + 3 * one + one / 2);
    {
        std::vector<std::unique_ptr<buffer>> buffers;
        for (int i = 0; i < count; ++i) {
            buffers.push_back(std::make_unique<buffer>(100, 100, grey_background));
            paint_pattern(*buffers.back(), unsigned(i));
            buffers.back()->set_swappable(true);
        }
        int on_disk = 0;
        for (const auto& b : buffers)
            on_disk += b->on_disk();
        EXPECT_GE(on_disk, count - 3);
        for (int pass = 0; pass < 2; ++pass)
            for (int i = count - 1; i >= 0; --i)
                EXPECT_TRUE(has_pattern(*buffers[std::size_t(i)], unsigned(i))) << i;
        EXPECT_LE(heap_bytes_in_use(), heap_budget());
    }
    set_heap_budget(old_budget);
}

TEST(Buffer, SplitIntoPlanes) {
    buffer b(3, 2, grey_background);
    buffer_lock hold(b);
    put_pixel(b, 0, 0, colour{0, 255, 0, 0});
    put_pixel(b, 1, 0, colour{0, 255, 255, 255});
    put_pixel(b, 2, 1, colour{0, 10, 20, 30});
    auto planes = split_into_planes(b);
    for (const auto& plane : planes) {
        EXPECT_EQ(plane->dimension_count(), 2);
        EXPECT_EQ(plane->size(0), 3);
        EXPECT_EQ(plane->size(1), 2);
        EXPECT_TRUE(plane->is_uint8());
    }
    EXPECT_EQ(planes[grey_plane]->u8(0, 0), 87);
    EXPECT_EQ(planes[grey_plane]->u8(1, 0), 255);
    EXPECT_EQ(planes[red_plane]->u8(2, 1), 10);
    EXPECT_EQ(planes[green_plane]->u8(2, 1), 20);
    EXPECT_EQ(planes[blue_plane]->u8(2, 1), 30);
    EXPECT_EQ(planes[alpha_plane]->u8(0, 0), 0);
    EXPECT_EQ(planes[alpha_plane]->u8(0, 1) % 2, 1);
    EXPECT_EQ(planes[alpha_plane]->u8(1, 1) % 2, 1);
}

} // namespace
} // namespace zoetra
