#include "gif/animation_reader.hpp"

#include "gif/block_reading.hpp"

#include <algorithm>

namespace zoetra {

using namespace gif_detail;

namespace {

constexpr int disposal_to_background = 2;
constexpr int disposal_to_previous = 3;
// What old files wrote for restoring to the previous canvas.
constexpr int old_disposal_to_previous = 4;

bool restores_previous(int disposal) {
    return disposal == disposal_to_previous || disposal == old_disposal_to_previous;
}

// What the counting pass finds: how many frames have all their blocks, and
// why the frame after them cannot be read ("" at the normal end of the file).
struct frame_census {
    std::size_t frames = 0;
    std::string damage;
};

// Walks the blocks from the stream's position (a copy of it: the caller's
// stays where it was) without decoding image data.
frame_census count_frames(byte_stream stream) {
    frame_census census;
    frame_controls controls;    // not needed for counting
    colour_table local_table{}; // read only to pass over it
    while (find_image(stream, controls)) {
        image_descriptor image;
        outcome read = read_image_descriptor(stream, image, local_table);
        if (read)
            read = skip_image_data(stream);
        if (!read) {
            census.damage = read.message();
            break;
        }
        ++census.frames;
    }
    return census;
}

// The canvas carried from frame to frame. A frame's disposal is applied when
// the next frame is drawn, so that in between the canvas shows the frame.
class canvas_composer {
  public:
    canvas_composer(byte_stream stream, const screen_descriptor& screen)
        : stream_(stream), global_table_(screen.global_table),
          background_(filled_pixel(screen.background)),
          canvas_(std::make_unique<buffer>(screen.width, screen.height, screen.background)),
          decoder_(std::make_unique<lzw_decoder>()) {}

    // Reads the next frame and draws it: its delay, or why it cannot be read.
    result<std::uint16_t> draw_next_frame();
    std::unique_ptr<buffer> copy_of_canvas() const { return canvas_->copy(); }

  private:
    void dispose_of_last_frame();

    byte_stream stream_;
    colour_table global_table_;
    pixel background_;
    std::unique_ptr<buffer> canvas_;
    std::unique_ptr<buffer> before_last_frame_; // only when its disposal restores
    image_descriptor last_image_;
    int last_disposal_ = 0;
    std::unique_ptr<lzw_decoder> decoder_;
};

result<std::uint16_t> canvas_composer::draw_next_frame() {
    dispose_of_last_frame();
    frame_controls controls;
    if (!find_image(stream_, controls))
        return outcome::failure("the file ends before it");
    image_descriptor image;
    colour_table table = global_table_;
    if (outcome read = read_image_descriptor(stream_, image, table); !read)
        return read;
    const result<heap_ptr<std::uint8_t>> indices = decode_indices(*decoder_, stream_, image);
    if (!indices)
        return outcome::failure(indices.message());
    // Data that stops short leaves the rest of the frame as index 0, which
    // would show as a block of one colour: the frame is taken as damaged.
    if (!decoder_->last_image_complete())
        return outcome::failure("its image data stops before its last pixel");

    if (restores_previous(controls.disposal))
        before_last_frame_ = canvas_->copy();
    draw(*canvas_, image, indices.value().get(), table, controls);
    last_image_ = image;
    last_disposal_ = controls.disposal;
    return controls.delay;
}

void canvas_composer::dispose_of_last_frame() {
    if (last_disposal_ == disposal_to_background)
        fill_rectangle(*canvas_, last_image_, background_);
    else if (restores_previous(last_disposal_))
        canvas_ = std::move(before_last_frame_);
    last_disposal_ = 0;
}

// Output frame k of kept frames taken evenly from in_file.
std::size_t sampled_input(std::size_t k, std::size_t kept, std::size_t in_file) {
    return std::size_t(std::uint64_t(k) * in_file / kept);
}

std::uint16_t add_delays(std::uint16_t a, std::uint16_t b) {
    return std::uint16_t(std::min(int(a) + int(b), 65535));
}

// The kept frames, the canvas and the copy kept for restoring must fit.
outcome check_memory(const screen_descriptor& screen, std::size_t kept) {
    const std::uint64_t canvas_bytes = std::uint64_t(screen.width) * screen.height * sizeof(pixel);
    if ((std::uint64_t(kept) + 2) * canvas_bytes <= max_animation_bytes)
        return outcome::success();
    return outcome::failure(std::to_string(kept) + " frames of " +
                            size_text(screen.width, screen.height) +
                            " pixels would take more than 1 GiB of memory");
}

std::string first_frame_failure(const std::string& reason) {
    return "the first frame cannot be read: " + reason;
}

// The status line's words for frames left out after a damaged one and for
// frames merged by sampling.
std::string warning_for(std::size_t frames_read, std::size_t frames_taken,
                        const std::string& damage) {
    const std::string taken = std::to_string(frames_taken) + " taken evenly, their delays keep" +
                              " the animation's length";
    const bool sampled = frames_taken < frames_read;
    if (damage.empty())
        return sampled ? std::to_string(frames_read) + " frames in the file: " + taken : "";
    std::string warning = "frame " + std::to_string(frames_read + 1) + " cannot be read (" +
                          damage + "), so it and the frames after it were left out";
    if (sampled)
        warning += "; of the " + std::to_string(frames_read) + " frames before it, " + taken;
    return warning;
}

} // namespace

result<animation> decode_animation(file_bytes bytes, std::size_t max_frames) {
    byte_stream stream(bytes.data.get(), bytes.size);
    screen_descriptor screen;
    if (outcome read = read_screen(stream, screen); !read)
        return read;
    const frame_census census = count_frames(stream);
    if (census.frames == 0)
        return outcome::failure(census.damage.empty() ? "the file holds no image"
                                                      : first_frame_failure(census.damage));
    const std::size_t kept = std::min(census.frames, std::max<std::size_t>(max_frames, 1));
    if (outcome fits = check_memory(screen, kept); !fits)
        return fits;

    // Every frame is drawn, since each one builds on the canvas the earlier
    // ones left; only the sampled ones are copied out. A frame left out adds
    // its delay to the kept frame before it (frame 0 is always kept).
    animation out{screen.width, screen.height, {}, 0, ""};
    canvas_composer composer(stream, screen);
    std::string damage = census.damage;
    std::size_t input = 0;
    for (; input < census.frames; ++input) {
        const result<std::uint16_t> delay = composer.draw_next_frame();
        if (!delay) {
            if (input == 0)
                return outcome::failure(first_frame_failure(delay.message()));
            damage = delay.message();
            break;
        }
        if (out.frames.size() < kept &&
            input == sampled_input(out.frames.size(), kept, census.frames))
            out.frames.push_back(animation_frame{composer.copy_of_canvas(), *delay});
        else
            out.frames.back().delay = add_delays(out.frames.back().delay, *delay);
    }
    out.frames_in_file = input;
    out.warning = warning_for(input, out.frames.size(), damage);
    return out;
}

result<animation> read_animation(const std::string& path, std::size_t max_frames) {
    result<file_bytes> bytes = read_named_file(path);
    if (!bytes)
        return outcome::failure(bytes.message());
    return decode_animation(std::move(*bytes), max_frames);
}

std::size_t count_gif_frames(const std::string& path) {
    result<file_bytes> bytes = read_named_file(path);
    if (!bytes)
        return 0;
    byte_stream stream(bytes->data.get(), bytes->size);
    screen_descriptor screen;
    if (!read_screen(stream, screen))
        return 0;
    return count_frames(stream).frames;
}

} // namespace zoetra
