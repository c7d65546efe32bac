#pragma once
// The GIF89a writer: all frames of an animation in one file with one global
// colour table, a loop extension, and per frame a graphic control extension
// (restore to background, index 255 transparent), an image descriptor and
// LZW-compressed indices.
//
// Colours: every frame is first reduced to its own palette of at most 255
// colours; the frame palettes, one row of 256 entries per frame, are then
// reduced together to the global table; each frame's indices are finally
// translated through that second reduction. Index 255 is left for
// transparent pixels.
//
// That is the default, and its bytes never change. Two choices depart from
// it (see gif_encode_options): fine colours, where each frame gets its own
// palette from libimagequant (fine_quantizer.hpp), and drawing each frame as
// the change from the one before (frame_planner.hpp).
//
// The writer either writes a file or only counts bytes. Both go through the
// same code to a byte sink, so the size estimate is the exact length of the
// file that the same frames and settings give.
#include "base/memory.hpp"
#include "gif/byte_sink.hpp"
#include "gif/fine_quantizer.hpp"
#include "gif/frame_planner.hpp"
#include "gif/lzw_encoder.hpp"
#include "gif/lzw_lookahead.hpp"
#include "gif/quantizer.hpp"
#include "raster/buffer.hpp"
#include "resources/resource.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace zoetra {

// The part of every frame that is written.
struct crop_origin {
    std::uint16_t x = 0;
    std::uint16_t y = 0;
};
struct crop_size {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};

enum class colour_mode {
    // One global table from the writer's own reduction.
    standard,
    // A palette per frame from libimagequant, in a local colour table where
    // the global one does not hold its colours.
    fine,
};

// How frames become a file. The default writes every frame whole, in the
// standard colours: the bytes the program has always written.
struct gif_encode_options {
    colour_mode colours = colour_mode::standard;
    // Each frame draws only what changed since the frame before, leaving the
    // rest transparent; viewers show the same pictures. Always so with fine
    // colours.
    bool optimize = false;

    bool draws_changes() const { return optimize || colours == colour_mode::fine; }
    friend bool operator==(const gif_encode_options&, const gif_encode_options&) = default;
};

// A delay setting in seconds as the file stores it, in hundredths, truncated
// toward zero (0.5 s is 50; 0.29 s is 28) and kept to 0..65535.
std::uint16_t gif_delay_from_seconds(double seconds);

class gif_writer {
  public:
    gif_writer();
    ~gif_writer();
    gif_writer(const gif_writer&) = delete;
    gif_writer& operator=(const gif_writer&) = delete;

    // Creates the file (mode "wb") and writes the header and the logical
    // screen descriptor (13 bytes). False, with nothing written, when the
    // file cannot be created.
    bool open(const std::string& name, crop_origin origin, crop_size size,
              std::uint16_t loop_count);
    // The same without a file: bytes are only counted, starting at 13. The
    // name is not used.
    bool open_for_estimate(const std::string& name, crop_origin origin, crop_size size,
                           std::uint16_t loop_count);
    // The same into memory (tests, fuzzing): after close the file's bytes are
    // in memory_file().
    bool open_in_memory(crop_origin origin, crop_size size, std::uint16_t loop_count);

    // The global colour table, the loop extension (unless the loop count is
    // 1) and every frame, with delay in hundredths of a second. Progress goes
    // to on_progress, one line per frame. Whether bytes reach a file or are
    // only counted was settled by open; the two differ only in the progress
    // line.
    void write_frames(std::span<buffer* const> frames, crop_origin origin, crop_size size,
                      std::uint16_t delay);
    void estimate_frames(std::span<buffer* const> frames, crop_origin origin, crop_size size,
                         std::uint16_t delay);

    // Writes (or counts) the trailer and closes the file. The total byte
    // count becomes size(). False when writing the file failed somewhere.
    [[nodiscard]] bool close();

    // Settings for the frames written from now on.
    void set_options(const gif_encode_options& options) { options_ = options; }
    const gif_encode_options& options() const { return options_; }
    // Whether a second thread takes half the work (it does unless switched
    // off); the bytes are the same either way.
    void set_helper_thread(bool on) { helper_thread_ = on; }

    // Receives one progress line per frame ("Saving gif89 frame 2 of 8 ...").
    std::function<void(const std::string&)> on_progress;

    bool is_open() const { return sink_ != nullptr; }
    // The total size in bytes of the file last closed.
    std::uint32_t size() const { return total_; }
    // The global colour table of the frames last written (256 x RGB); zero
    // again after close.
    const std::array<std::uint8_t, 768>& global_table() const { return global_table_; }
    const std::vector<std::uint8_t>& memory_file() const { return memory_file_; }

  private:
    enum class progress { saving, estimating };
    // Where one frame lies and how it is stored.
    struct frame_layout {
        frame_rect rect;
        frame_disposal disposal = frame_disposal::keep;
        std::uint8_t transparent = 255;
        int code_size = 8;
        // 0: the global table; otherwise a local table of 1 << local_bits
        // entries.
        int local_bits = 0;
        const std::uint8_t* local_table = nullptr;
    };

    bool start(crop_size size, std::uint16_t loop_count);
    void encode_frames(std::span<buffer* const> frames, crop_origin origin, crop_size size,
                       std::uint16_t delay, progress kind);
    void write_header(crop_size size);
    void write_loop_extension();
    void write_control(std::uint16_t delay);
    void write_descriptor(crop_size size);

    // The paths that draw changes (frame_writer.cpp).
    void write_changes(std::size_t frame_count, crop_size size, std::uint16_t delay,
                       const std::function<void(std::size_t, std::uint8_t*)>& picture_of,
                       const std::function<void(std::size_t)>& announce);
    void encode_fine(std::span<buffer* const> frames, crop_origin origin, crop_size size,
                     std::uint16_t delay, progress kind);
    void announce_frame(progress kind, std::size_t i, std::size_t count, std::uint16_t delay);
    void write_frame_head(const frame_layout& frame, std::uint16_t delay);

    file_ptr file_;
    std::unique_ptr<byte_sink> sink_;
    std::uint16_t loop_count_ = 0;
    std::uint32_t total_ = 0;
    std::vector<std::uint8_t> memory_file_;
    std::array<std::uint8_t, 768> global_table_{};
    colour_quantizer quantizer_;
    // Held apart: its tables are 30 KB.
    std::unique_ptr<lzw_encoder> lzw_;
    // The second core's share: every other frame is reduced and coded there.
    std::unique_ptr<colour_quantizer> helper_quantizer_;
    std::unique_ptr<lzw_encoder> helper_lzw_;
    memory_sink helper_output_;
    gif_encode_options options_;
    bool helper_thread_ = true;
    std::unique_ptr<fine_quantizer> fine_;
    std::unique_ptr<fine_quantizer> helper_fine_;
    std::unique_ptr<lzw_lookahead_encoder> lookahead_;
    std::unique_ptr<lzw_lookahead_encoder> helper_lookahead_;
};

} // namespace zoetra
