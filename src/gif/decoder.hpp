#pragma once
// Reading GIF87a and GIF89a files into image buffers of 32-bit pixels.
//
// A frame reader opens a file (held whole in memory), reads its logical
// screen and global colour table, and then hands out the frames one by one,
// each composed onto a canvas of the screen's size as the graphic control
// extension asks: transparent indices leave the canvas as it was; after a
// frame, disposal 2 clears the frame's rectangle to the background and
// disposal 4 puts back the canvas as it was before the frame. The program's
// pictures and skin images take only the first frame (load_gif, and the
// picture readers of picture.hpp through decode_gif); the tests and the
// fuzzers step through every frame of the files the writer makes. Animations
// taken as input are read by animation_reader.hpp, which composes by GIF89a's
// rules where this reader keeps its own (see disposal_to_previous in
// decoder.cpp).
//
// Pixels written here: blue in bits 0-7, green 8-15, red 16-23, bit 24 the
// transparent flag, bits 25-31 zero. The canvas starts as the background
// colour (the global table entry at the background index) with the
// transparent flag set.
#include "base/outcome.hpp"
#include "gif/byte_stream.hpp"
#include "gif/lzw_decoder.hpp"
#include "raster/buffer.hpp"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace zoetra {

// Screens and frames larger than this on a side, or with more pixels in all,
// make a file unreadable: no picture of the program comes near, and the
// canvases of such a file would not fit in memory.
inline constexpr std::uint32_t max_gif_side = 16384;
inline constexpr std::uint64_t max_gif_pixels = 64'000'000;

struct rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const rgb&, const rgb&) = default;
};
using colour_table = std::array<rgb, 256>;

class gif_reader {
  public:
    gif_reader();
    ~gif_reader();
    gif_reader(const gif_reader&) = delete;
    gif_reader& operator=(const gif_reader&) = delete;

    // Opens a file by its path on disk and reads the header and the global
    // colour table; or says why not. Whatever an earlier open left is
    // discarded first.
    outcome open(const std::string& name);
    // The same for a file already in memory (the bytes are copied).
    outcome open_bytes(const std::uint8_t* data, std::size_t size);
    // The next frame composed onto the canvas, as a new buffer; none when no
    // further frame can be read, which also closes the reader.
    std::unique_ptr<buffer> read_frame();
    // Lets go of the file and the canvas.
    void close();

    bool is_open() const { return open_; }
    std::uint16_t screen_width() const { return screen_width_; }
    std::uint16_t screen_height() const { return screen_height_; }
    colour background() const { return background_; }
    const colour_table& global_table() const { return global_table_; }
    // Why the last open or read_frame gave nothing ("" after success or at
    // the normal end of the file).
    const std::string& failure() const { return failure_; }

  private:
    friend result<std::unique_ptr<buffer>> read_gif(const std::string& name);
    friend result<std::unique_ptr<buffer>> decode_gif(file_bytes bytes);

    // A frame that ends the reading hands out the canvas itself: nothing
    // after it needs the canvas's state.
    enum class hand_out { keep_reading, last_frame };

    outcome open_file(file_bytes bytes);
    // The first frame of the open file, the reader closed after it.
    result<std::unique_ptr<buffer>> first_frame_only();
    outcome read_header();
    std::unique_ptr<buffer> next_frame(hand_out mode);
    // Records the reason, closes the reader and returns the failure.
    outcome fail(std::string reason);

    file_bytes file_;
    byte_stream stream_;
    bool open_ = false;
    std::uint16_t screen_width_ = 0;
    std::uint16_t screen_height_ = 0;
    colour_table global_table_{};
    colour background_{};
    std::unique_ptr<buffer> canvas_;
    std::unique_ptr<lzw_decoder> decoder_;
    std::string failure_;
};

// The first frame of a GIF file as a new buffer, or none.
std::unique_ptr<buffer> load_gif(const std::string& name);
// The same, or the reason for none.
result<std::unique_ptr<buffer>> read_gif(const std::string& name);
// The first frame of a GIF file already in memory, or the reason for none.
result<std::unique_ptr<buffer>> decode_gif(file_bytes bytes);

} // namespace zoetra
