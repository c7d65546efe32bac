#include "app/services/handles.hpp"
#include "app/services/memory.hpp"
#include "app/services/messages.hpp"
#include "raster/buffer.hpp"
#include "raster/draw.hpp"
#include "raster_test_support.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace zoetra::test {
namespace {

constexpr colour grey{0, 10, 20, 30};

// Records the status texts that swapping shows.
class recording_shell : public shell {
  public:
    recording_shell() { install_shell(this); }
    ~recording_shell() override { install_shell(nullptr); }
    void show_status(const std::string& text) override { statuses.push_back(text); }
    void present_area(const rect&) override {}
    void settings_changed() override {}
    std::vector<std::string> statuses;
};

// A swappable buffer whose every pixel depends on its position and a seed.
std::unique_ptr<buffer> patterned(int w, int h, unsigned seed) {
    auto b = std::make_unique<buffer>(w, h, grey);
    buffer_lock hold(*b);
    for (std::size_t i = 0; i < std::size_t(w) * h; ++i)
        b->pixels()[i] = pixel(i * 2654435761u + seed);
    b->set_swappable(true);
    return b;
}

bool has_pattern(buffer& b, unsigned seed) {
    buffer_lock hold(b);
    for (std::size_t i = 0; i < std::size_t(b.width()) * b.height(); ++i)
        if (b.pixels()[i] != pixel(i * 2654435761u + seed))
            return false;
    return true;
}

TEST(Buffer, FreshBufferIsBackgroundAndJoinsTheRing) {
    EXPECT_EQ(buffer::ring_size(), 0);
    EXPECT_FALSE(buffer::swap_out_one()); // empty ring
    buffer b(7, 5, grey);
    EXPECT_EQ(pixels_equal_to(b, filled_pixel(grey)).size(), 35u);
    auto twin = b.copy();
    EXPECT_EQ(buffer::ring_size(), 2);
    EXPECT_FALSE(twin->is_locked() || twin->on_disk() || twin->swappable());
    EXPECT_EQ(twin->background(), grey);
    twin.reset();
    EXPECT_EQ(buffer::ring_size(), 1);
}

TEST(Buffer, SwapOutAndBackReadsBitForBit) {
    recording_shell shell;
    auto a = patterned(40, 30, 7);
    const int handles = handles_in_use();
    EXPECT_TRUE(buffer::swap_out_one());
    EXPECT_TRUE(a->on_disk());
    EXPECT_EQ(handles_in_use(), handles - 1);
    EXPECT_FALSE(buffer::swap_out_one()); // nothing else to move
    EXPECT_TRUE(has_pattern(*a, 7));
    EXPECT_FALSE(a->on_disk());
    EXPECT_TRUE(a->swappable());
    EXPECT_EQ(shell.statuses, std::vector<std::string>{"Reading buffer from disk."});
    // A copy of a buffer on disk brings the source back first.
    EXPECT_TRUE(buffer::swap_out_one());
    EXPECT_TRUE(has_pattern(*a->copy(), 7));
    // Destroyed while on disk: its handle goes too.
    EXPECT_TRUE(buffer::swap_out_one());
    a.reset();
    EXPECT_EQ(buffer::ring_size(), 0);
    EXPECT_EQ(handles_in_use(), handles - 1);
}

TEST(Buffer, LockedBuffersNeverSwap) {
    buffer a(8, 8, grey);
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

TEST(Buffer, RoundRobinFromTheHeadWhichDestroyingMovesOn) {
    auto a = patterned(8, 8, 1), b = patterned(8, 8, 2), c = patterned(8, 8, 3);
    a->lock(); // destroying works on a locked buffer too
    a.reset();
    EXPECT_EQ(buffer::ring_size(), 2);
    EXPECT_TRUE(free_memory_on_demand());
    EXPECT_TRUE(b->on_disk() && !c->on_disk());
    EXPECT_TRUE(free_memory_on_demand());
    EXPECT_TRUE(c->on_disk());
    EXPECT_FALSE(free_memory_on_demand());
    // Both back; the head is past c, so b goes first again.
    b->lock(), b->unlock(), c->lock(), c->unlock();
    EXPECT_TRUE(buffer::swap_out_one());
    EXPECT_TRUE(b->on_disk() && !c->on_disk());
}

// Lowers a resource limit until the end of the scope.
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
    recording_shell shell;
    auto a = patterned(64, 64, 3);
    {
        // The swap file cannot grow: the write fails.
        auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
        limit_guard small_files(RLIMIT_FSIZE, 1000);
        EXPECT_FALSE(buffer::swap_out_one());
        std::signal(SIGXFSZ, old_handler);
    }
    EXPECT_EQ(shell.statuses, std::vector<std::string>{"Failed writing to disk."});
    EXPECT_FALSE(a->swappable() || a->on_disk());
    EXPECT_TRUE(has_pattern(*a, 3));

    auto b = patterned(8, 8, 4);
    {
        // No descriptor left for a temporary file.
        const int lowest_free = dup(0);
        close(lowest_free);
        limit_guard no_files(RLIMIT_NOFILE, rlim_t(lowest_free));
        EXPECT_FALSE(buffer::swap_out_one());
    }
    EXPECT_FALSE(b->swappable());
    EXPECT_EQ(shell.statuses.size(), 1u);
}

// Room for three buffers of 100 x 100 while eight stay alive: every creation
// and every lock past the third sends others to temporary files.
TEST(Buffer, SwapRunsUnderARealByteBudget) {
    const std::size_t one = 100 * 100 * 4, old_budget = heap_budget();
    set_heap_budget(heap_bytes_in_use() + 3 * one + one / 2);
    {
        std::vector<std::unique_ptr<buffer>> buffers;
        for (unsigned i = 0; i < 8; ++i)
            buffers.push_back(patterned(100, 100, i));
        int on_disk = 0;
        for (const auto& b : buffers)
            on_disk += b->on_disk();
        EXPECT_GE(on_disk, 8 - 3);
        for (int pass = 0; pass < 2; ++pass)
            for (unsigned i = 8; i-- > 0;)
                EXPECT_TRUE(has_pattern(*buffers[i], i)) << i;
        EXPECT_LE(heap_bytes_in_use(), heap_budget());
    }
    set_heap_budget(old_budget);
}

TEST(Buffer, SplitIntoPlanes) {
    buffer b(3, 2, grey);
    buffer_lock hold(b);
    put_pixel(b, 0, 0, colour{0, 255, 0, 0});
    put_pixel(b, 1, 0, colour{0, 255, 255, 255});
    put_pixel(b, 2, 1, colour{0, 10, 20, 30});
    auto planes = split_into_planes(b);
    for (const auto& plane : planes) {
        EXPECT_EQ(plane->dimension_count(), 2);
        EXPECT_EQ(std::pair(int(plane->size(0)), int(plane->size(1))), std::pair(3, 2));
        EXPECT_TRUE(plane->is_uint8());
    }
    EXPECT_EQ(planes[grey_plane]->u8(0, 0), 87);  // red
    EXPECT_EQ(planes[grey_plane]->u8(1, 0), 255); // white
    EXPECT_EQ(planes[red_plane]->u8(2, 1), 10);
    EXPECT_EQ(planes[green_plane]->u8(2, 1), 20);
    EXPECT_EQ(planes[blue_plane]->u8(2, 1), 30);
    EXPECT_EQ(planes[alpha_plane]->u8(0, 0), 0);
    EXPECT_EQ(planes[alpha_plane]->u8(0, 1) % 2, 1); // fresh pixels: odd alpha
    EXPECT_EQ(planes[alpha_plane]->u8(1, 1) % 2, 1);
}

} // namespace
} // namespace zoetra::test
