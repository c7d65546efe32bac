#include "base/sliced_task.hpp"

namespace zoetra {

sliced_task::sliced_task(work job) : job_(std::move(job)) {}

sliced_task::~sliced_task() {
    cancel();
    if (thread_.joinable())
        thread_.join();
}

void sliced_task::cancel() {
    if (!started_) {
        done_ = true;
        return;
    }
    cancelling_ = true;
    finish();
}

bool sliced_task::run_slice(std::chrono::steady_clock::duration budget) {
    if (done_)
        return true;
    std::unique_lock lock(mutex_);
    slice_end_ = std::chrono::steady_clock::now() + budget;
    turn_ = turn::work;
    if (!started_) {
        started_ = true;
        thread_ = std::thread([this] {
            {
                std::unique_lock wait(mutex_);
                changed_.wait(wait, [this] { return turn_ == turn::work; });
            }
            pauser p(*this);
            try {
                job_(p);
            } catch (const cancelled&) {
                // unwound: nothing more to do
            }
            std::lock_guard end(mutex_);
            done_ = true;
            turn_ = turn::caller;
            changed_.notify_all();
        });
    }
    changed_.notify_all();
    changed_.wait(lock, [this] { return turn_ == turn::caller; });
    return done_;
}

void sliced_task::finish() {
    while (!run_slice(std::chrono::hours(1))) {
    }
}

void sliced_task::pause_point() {
    std::unique_lock lock(mutex_);
    if (!cancelling_ && std::chrono::steady_clock::now() < slice_end_)
        return;
    if (!cancelling_) {
        turn_ = turn::caller;
        changed_.notify_all();
        changed_.wait(lock, [this] { return turn_ == turn::work; });
    }
    if (cancelling_)
        throw cancelled{};
}

} // namespace zoetra
