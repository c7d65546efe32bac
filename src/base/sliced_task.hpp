#pragma once
// Long work run in slices between events: the work runs on a thread of its
// own, but only while the caller waits in run_slice, and it hands control
// back at its next pause point once the slice's time is up. Only one of the
// two threads runs at any moment, so the work may use everything the
// caller's thread uses (the allocator, the buffers) without locks, and the
// caller stays free to handle input between slices. Cancelled work ends at
// its next pause point by an exception that unwinds it, so the work must
// hold what it takes in objects that let go when they go.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace zoetra {

class sliced_task {
  public:
    // The work calls pause() where it may stop for a while.
    class pauser {
      public:
        explicit pauser(sliced_task& task) : task_(task) {}
        void pause() { task_.pause_point(); }

      private:
        sliced_task& task_;
    };
    using work = std::function<void(pauser&)>;

    // Nothing runs until the first slice.
    explicit sliced_task(work job);
    // Cancels work under way; work never started is dropped.
    ~sliced_task();
    sliced_task(const sliced_task&) = delete;
    sliced_task& operator=(const sliced_task&) = delete;

    // Lets the work run until it pauses after at least budget has passed, or
    // ends. True when it has ended.
    bool run_slice(std::chrono::steady_clock::duration budget);
    // Runs the work to its end.
    void finish();
    // Ends the work at its next pause point (at once when it never started).
    void cancel();
    bool done() const { return done_; }

  private:
    struct cancelled {};
    void pause_point();
    enum class turn { caller, work };

    work job_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    turn turn_ = turn::caller;
    bool started_ = false;
    bool done_ = false;
    bool cancelling_ = false;
    std::chrono::steady_clock::time_point slice_end_{};
};

} // namespace zoetra
