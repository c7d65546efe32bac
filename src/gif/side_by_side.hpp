#pragma once
// The writer's second core. Frames are reduced and coded two at a time: one
// on the writer's own thread, the other on a helper thread, each in a lane
// of tools of its own (lane 0 and lane 1). Everything that allocates from the
// shared allocator or touches an image buffer happens on the writer's
// thread, before the two jobs start; the jobs themselves only compute. The
// results do not depend on which lane a frame went to, so the bytes are the
// same with the helper switched off, when the two jobs simply run one after
// the other.
#include <cstddef>
#include <system_error>
#include <thread>

namespace zoetra::gif_detail {

class side_by_side {
  public:
    explicit side_by_side(bool helper) : helper_(helper) {}

    // Runs two independent jobs at once, the second on a helper thread (or
    // after the first when no thread can be had, or when the helper is
    // switched off).
    template <class First, class Second> void run(First&& first, Second&& second) const {
        if (!helper_) {
            first();
            second();
            return;
        }
        std::jthread thread; // joins when it goes, even if first throws
        try {
            thread = std::jthread(second);
        } catch (const std::system_error&) {
            first();
            second();
            return;
        }
        first();
    }

    // Frames 0 .. count - 1 two at a time (the last one alone when count is
    // odd). For each pair: take(first, n) readies its n frames on this
    // thread; then work(frame, lane) runs for them side by side, the first
    // frame in lane 0 here and the second in lane 1 on the helper; then
    // give(frame, lane) hands each on, in frame order, on this thread.
    template <class Take, class Work, class Give>
    void in_pairs(std::size_t count, Take&& take, Work&& work, Give&& give) const {
        for (std::size_t i = 0; i < count; i += 2) {
            const bool pair = i + 1 < count;
            take(i, std::size_t(pair ? 2 : 1));
            if (pair)
                run([&] { work(i, 0); }, [&] { work(i + 1, 1); });
            else
                work(i, 0);
            give(i, 0);
            if (pair)
                give(i + 1, 1);
        }
    }

  private:
    bool helper_;
};

} // namespace zoetra::gif_detail
