// Saving the frames as one GIF89a file, and the exact size that file would have.
#include "app/services/utility.hpp"
#include "engine/numeric.hpp"
#include "gif/encoder.hpp"
#include "production/studio.hpp"

namespace zoetra {

std::uint16_t studio::loop_count() const {
    return truncate_to_u16(gifout_->number("LOOP").value(0));
}

std::uint16_t studio::delay() const {
    return gif_delay_from_seconds(gifout_->number("DELAY").value(0));
}

// The frames 0 .. FRAMES.CONTROL - 1, as far as they were made: the frame
// count may have been changed since the frames were created.
std::vector<buffer*> studio::frames_to_write() {
    std::vector<buffer*> list;
    int count = std::min(frame_count(), stored_frames());
    for (int i = 0; i < count; ++i)
        list.push_back(frames_[i].image.get());
    return list;
}

bool studio::save() {
    if (frames_.empty())
        return false;
    rect area = frame_.output_area();
    crop_size crop{area.width, area.height};
    std::optional<std::string> name =
        choose_file_to_save("Please tell me where to save", "your.gif");
    if (!name)
        return false;
    gif_writer writer;
    if (!writer.open(*name, crop_origin{}, crop, loop_count())) {
        error_box(format("FAILED saving GIF89 to \"%s\".\n", name->c_str()));
        return false;
    }
    set_status(format("Begin saving GIF89 to \"%s\".\n", name->c_str()));
    std::vector<buffer*> frames = frames_to_write();
    writer.write_frames(frames, crop_origin{}, crop, delay());
    if (!writer.close()) {
        // A full disk or a vanished folder must not pass for a saved file.
        error_box(format("FAILED saving GIF89 to \"%s\".\n", name->c_str()));
        return false;
    }
    set_status(
        format("Completed save of %d frames to \"%s\".\n", int(frames.size()), name->c_str()));
    saved_ = true;
    return true;
}

std::uint32_t studio::size() {
    if (size_known_)
        return size_;
    rect area = frame_.output_area();
    crop_size crop{area.width, area.height};
    gif_writer writer;
    if (!writer.open_for_estimate("temmmp.gif", crop_origin{}, crop, loop_count())) {
        std::string text = format("FAILED saving GIF89 to \"%s\".\n", "temmmp.gif");
        set_status(text);
        error_box(text);
        return 0;
    }
    writer.estimate_frames(frames_to_write(), crop_origin{}, crop, delay());
    writer.close();
    size_known_ = true;
    size_ = writer.size();
    return size_;
}

std::string size_report(std::uint32_t bytes) {
    return format("Your GIF89 file size will be %.1fKB (%u bytes).", bytes / 1024.0, bytes);
}

void studio::show_size() { info_box("GIF89 file size", size_report(size())); }

} // namespace zoetra
