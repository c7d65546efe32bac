#include "gif/decoder.hpp"

#include "gif/block_reading.hpp"

namespace zoetra {

using namespace gif_detail;

namespace {

// Restore to previous. The GIF89a format document numbers it 3, but old files
// wrote 4 for it, and this reader takes 4, and only 4, to mean it: 3 leaves
// the canvas as drawn, as 0, 1 and 5 to 7 do. The writer never writes either
// number (its frames keep, 1, or clear, 2: see frame_planner.hpp), so its
// files show the same in this reader and in every viewer.
constexpr int disposal_to_previous = 4;
constexpr int disposal_to_background = 2;

} // namespace

gif_reader::gif_reader() : decoder_(std::make_unique<lzw_decoder>()) {}
gif_reader::~gif_reader() = default;

outcome gif_reader::open(const std::string& name) {
    close();
    failure_.clear();
    result<file_bytes> bytes = read_named_file(name);
    if (!bytes)
        return fail(bytes.message());
    return open_file(std::move(*bytes));
}

outcome gif_reader::open_bytes(const std::uint8_t* data, std::size_t size) {
    close();
    failure_.clear();
    return open_file(copy_bytes(data, size));
}

outcome gif_reader::open_file(file_bytes bytes) {
    file_ = std::move(bytes);
    stream_ = byte_stream(file_.data.get(), file_.size);
    open_ = true;
    return read_header();
}

void gif_reader::close() {
    open_ = false;
    stream_ = byte_stream();
    file_ = file_bytes();
    canvas_.reset();
}

outcome gif_reader::fail(std::string reason) {
    failure_ = std::move(reason);
    close();
    return outcome::failure(failure_);
}

outcome gif_reader::read_header() {
    screen_descriptor screen;
    if (outcome read = read_screen(stream_, screen); !read)
        return fail(read.message());
    screen_width_ = screen.width;
    screen_height_ = screen.height;
    global_table_ = screen.global_table;
    background_ = screen.background;
    canvas_ = std::make_unique<buffer>(screen_width_, screen_height_, background_);
    return outcome::success();
}

std::unique_ptr<buffer> gif_reader::read_frame() {
    return next_frame(hand_out::keep_reading);
}

std::unique_ptr<buffer> gif_reader::next_frame(hand_out mode) {
    if (!open_)
        return nullptr;
    frame_controls controls;
    if (!find_image(stream_, controls)) {
        close(); // the end of the file: no failure
        return nullptr;
    }
    image_descriptor image;
    colour_table table = global_table_;
    if (outcome read = read_image_descriptor(stream_, image, table); !read) {
        static_cast<void>(fail(read.message()));
        return nullptr;
    }
    const result<heap_ptr<std::uint8_t>> indices = decode_indices(*decoder_, stream_, image);
    if (!indices) {
        static_cast<void>(fail(indices.message()));
        return nullptr;
    }

    std::unique_ptr<buffer> saved;
    if (controls.disposal == disposal_to_previous && mode == hand_out::keep_reading)
        saved = canvas_->copy();
    draw(*canvas_, image, indices.value().get(), table, controls);

    if (mode == hand_out::last_frame)
        return std::move(canvas_);
    if (controls.disposal == disposal_to_previous) {
        std::unique_ptr<buffer> drawn = std::move(canvas_);
        canvas_ = std::move(saved);
        return drawn;
    }
    std::unique_ptr<buffer> frame = canvas_->copy();
    if (controls.disposal == disposal_to_background)
        fill_rectangle(*canvas_, image, filled_pixel(background_));
    return frame;
}

result<std::unique_ptr<buffer>> gif_reader::first_frame_only() {
    std::unique_ptr<buffer> frame;
    if (open_) {
        frame = next_frame(hand_out::last_frame);
        if (!frame && failure_.empty())
            failure_ = "the file holds no image";
    }
    close();
    if (!frame)
        return outcome::failure(failure_);
    return frame;
}

result<std::unique_ptr<buffer>> read_gif(const std::string& name) {
    gif_reader reader;
    static_cast<void>(reader.open(name)); // a failure stays in the reader
    return reader.first_frame_only();
}

result<std::unique_ptr<buffer>> decode_gif(file_bytes bytes) {
    gif_reader reader;
    static_cast<void>(reader.open_file(std::move(bytes))); // a failure stays in the reader
    return reader.first_frame_only();
}

std::unique_ptr<buffer> load_gif(const std::string& name) {
    result<std::unique_ptr<buffer>> read = read_gif(name);
    return read ? std::move(read.value()) : nullptr;
}

} // namespace zoetra
