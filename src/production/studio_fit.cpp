// Fitting the frames made under a size limit, in slices between events.
#include "base/utility.hpp"
#include "production/studio.hpp"

namespace zoetra {

void studio::set_fit_limit(std::uint32_t limit) {
    if (limit == fit_limit_)
        return;
    const bool was_fitting = fit_limit_ > 0;
    forget_fit();
    if (!was_fitting)
        chosen_options_ = encode_options_;
    fit_limit_ = limit;
    if (limit == 0)
        set_encode_options(chosen_options_);
}

void studio::forget_fit() {
    fitting_.reset();
    fit_done_ = false;
    fit_result_.reset();
    fit_found_.reset();
    fit_progress_.clear();
}

bool studio::fit_step(std::chrono::steady_clock::duration budget) {
    if (!fit_wanted())
        return fit_done_;
    if (!fitting_) {
        fit_found_.reset();
        fitting_ = std::make_unique<sliced_task>([this](sliced_task::pauser& pause) {
            const rect area = canvas_.output_area();
            const frame_variant base{gif_size{area.width, area.height},
                                     std::min(frame_count(), stored_frames()),
                                     gifout_->delay().value(0)};
            fit_frames source;
            source.loop_count = loop_count();
            source.delays = [this] { return frame_delays(); };
            source.kept = captions_.colours_to_keep();
            source.make = [this](const frame_variant&) -> result<std::vector<buffer*>> {
                return frames_to_write();
            };
            source.on_progress = [this](const std::string& text) { fit_progress_ = text; };
            source.on_frame = [&pause] { pause.pause(); };
            result<fit_outcome> found =
                fit_under(fit_request{fit_limit_, false, false}, base, source);
            if (found)
                fit_found_ = found.value();
            else
                fit_progress_ = found.message();
        });
    }
    if (!fitting_->run_slice(budget))
        return false;
    fitting_.reset();
    fit_done_ = true;
    fit_result_ = fit_found_;
    if (fit_result_ && fit_result_->fits) {
        set_encode_options(fit_result_->chosen.coding);
        // The search measured this very file.
        size_ = fit_result_->measure.bytes;
        size_known_ = true;
    }
    return true;
}

} // namespace zoetra
