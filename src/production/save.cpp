// Saving the frames as one GIF89a file, and the exact size that file would have.
#include "base/utility.hpp"
#include "engine/numeric.hpp"
#include "gif/encoder.hpp"
#include "production/studio.hpp"

namespace zoetra {

std::uint16_t studio::loop_count() const {
    return truncate_to_u16(gifout_->loop().value(0));
}

std::uint16_t studio::delay() const {
    return gif_delay_from_seconds(gifout_->delay().value(0));
}

namespace {

// While the frames are written the canvas may go to disk too: writing needs
// room for two frames' colours and indices, and whatever memory let the
// frames be made must be enough to save them. Drawing brings it back.
class canvas_swappable {
  public:
    explicit canvas_swappable(buffer& image) : image_(image) { image_.set_swappable(true); }
    ~canvas_swappable() { image_.set_swappable(false); }
    canvas_swappable(const canvas_swappable&) = delete;
    canvas_swappable& operator=(const canvas_swappable&) = delete;

  private:
    buffer& image_;
};

} // namespace

// The frames 0 .. FRAMES.CONTROL - 1, as far as they were made: the frame
// count may have been changed since the frames were created.
std::vector<buffer*> studio::frames_to_write() {
    std::vector<buffer*> list;
    int count = std::min(frame_count(), stored_frames());
    for (int i = 0; i < count; ++i)
        list.push_back(frames_[i].image.get());
    return list;
}

outcome studio::save(const std::string& file_name) {
    if (frames_.empty())
        return outcome::failure("There are no frames to save yet.");
    const std::string failed = format("FAILED saving GIF89 to \"%s\".\n", file_name.c_str());
    canvas_swappable room(canvas_.image());
    rect area = canvas_.output_area();
    crop_size crop{area.width, area.height};
    gif_writer writer;
    writer.set_options(options_to_write(encode_options_));
    writer.on_progress = [this](const std::string& text) { report(text); };
    // The specified first line, then the writer's reason.
    if (outcome opened = writer.open(file_name, crop_origin{}, crop, loop_count()); !opened)
        return outcome::failure(failed + opened.message());
    report(format("Begin saving GIF89 to \"%s\".\n", file_name.c_str()));
    std::vector<buffer*> frames = frames_to_write();
    const std::vector<std::uint16_t> delays = frame_delays();
    writer.write_frames(frames, crop_origin{}, crop, delays);
    // A full disk or a vanished folder must not pass for a saved file.
    if (outcome closed = writer.close(); !closed)
        return outcome::failure(failed + closed.message());
    report(
        format("Completed save of %d frames to \"%s\".\n", int(frames.size()), file_name.c_str()));
    saved_ = true;
    return outcome::success();
}

result<std::uint32_t> studio::size() {
    if (measuring_) {
        // The measuring under way gives the same size: let it end.
        if (std::optional<std::uint32_t> measured = measure_size_step(std::chrono::hours(1)))
            return *measured;
    }
    if (size_known_)
        return size_;
    rect area = canvas_.output_area();
    crop_size crop{area.width, area.height};
    canvas_swappable room(canvas_.image());
    gif_writer writer;
    writer.set_options(options_to_write(encode_options_));
    writer.on_progress = [this](const std::string& text) { report(text); };
    if (!writer.open_for_estimate("temmmp.gif", crop_origin{}, crop, loop_count())) {
        std::string text = format("FAILED saving GIF89 to \"%s\".\n", "temmmp.gif");
        report(text);
        return outcome::failure(text);
    }
    const std::vector<std::uint16_t> delays = frame_delays();
    writer.estimate_frames(frames_to_write(), crop_origin{}, crop, delays);
    static_cast<void>(writer.close()); // nothing is written, so nothing can fail
    size_known_ = true;
    size_ = writer.size();
    return size_;
}

void studio::set_encode_options(const gif_encode_options& options) {
    if (options == encode_options_)
        return;
    forget_size(); // the size was that of the other settings
    encode_options_ = options;
}

void studio::forget_size() {
    measuring_.reset();
    size_known_ = false;
}

std::optional<std::uint32_t> studio::known_size() const {
    return size_known_ ? std::optional(size_) : std::nullopt;
}

std::optional<std::uint32_t> studio::measure_size_step(std::chrono::steady_clock::duration budget) {
    if (!size_wanted())
        return known_size();
    if (!measuring_)
        measuring_ = std::make_unique<sliced_task>([this](sliced_task::pauser& pause) {
            const rect area = canvas_.output_area();
            const crop_size crop{area.width, area.height};
            gif_writer writer;
            writer.set_options(options_to_write(encode_options_));
            // A pause after each frame; the status line is the person's.
            writer.on_progress = [&pause](const std::string&) { pause.pause(); };
            static_cast<void>(writer.open_for_estimate("", crop_origin{}, crop, loop_count()));
            const std::vector<std::uint16_t> delays = frame_delays();
            writer.estimate_frames(frames_to_write(), crop_origin{}, crop, delays);
            static_cast<void>(writer.close()); // nothing is written, so nothing can fail
            measured_ = writer.size();
        });
    if (!measuring_->run_slice(budget))
        return std::nullopt;
    measuring_.reset();
    size_ = measured_;
    size_known_ = true;
    return size_;
}

void studio::set_fine_colours(bool on) {
    const colour_mode mode = on ? colour_mode::fine : colour_mode::standard;
    if (fit_limit_ > 0) {
        // A fit chooses the colours itself; the choice holds when it ends.
        chosen_options_.colours = mode;
        return;
    }
    gif_encode_options options = encode_options_;
    options.colours = mode;
    set_encode_options(options);
}

std::string size_report(std::uint32_t bytes) {
    return format("Your GIF89 file size will be %.1fKB (%u bytes).", bytes / 1024.0, bytes);
}

} // namespace zoetra
