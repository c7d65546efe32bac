#pragma once
// The GIF89a writer: all frames of an animation in one file with one global
// colour table, a loop extension, and per frame a graphic control extension,
// an image descriptor and LZW-compressed indices.
//
// Colours: by default every frame is first reduced to its own palette of at
// most 255 colours; the frame palettes, one row of 256 entries per frame, are
// then reduced together to the global table; each frame's indices are
// finally translated through that second reduction. Index 255 is left for
// transparent pixels, and every frame is written whole (restore to
// background, index 255 transparent).
//
// That is the default, and its bytes never change. The other choices (see
// gif_encode_options) depart from it: drawing each frame as the change from
// the one before (frame_planner.hpp), fine colours, where each frame gets
// its own palette from libimagequant (fine_quantizer.hpp), and exact colours
// for pictures drawn in a few flat colours.
//
// The frames are written in named steps by one writer type per path, each in
// a file of its own: the standard colours' reduction (standard_colours.hpp)
// feeds the whole-frame writer (whole_frame_writer.hpp) or the changes writer
// (changes_writer.hpp); fine colours have the fine writer (fine_writer.hpp)
// and exact colours the exact writer (exact_writer.hpp). Each plans its
// frames, chooses their palettes, settles their tables, codes them, two at a
// time on two threads where it can (side_by_side.hpp), and writes their
// blocks (gif_blocks.hpp). What they share, the two lanes of tools and the
// file's blocks and progress lines, is their writer_context
// (writer_context.hpp).
//
// The writer either writes a file or only counts bytes. Both go through the
// same code to a byte sink, so the size estimate is the exact length of the
// file that the same frames and settings give.
#include "base/outcome.hpp"
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

class byte_sink;

namespace gif_detail {
struct coding_lane;
struct fine_settlement;
} // namespace gif_detail

// The part of every frame that is written.
struct crop_origin {
    std::uint16_t x = 0;
    std::uint16_t y = 0;
};
struct crop_size {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};

// The frames of one animation as the writer takes them: the pictures, the
// part of each that is written, and how long each is shown.
struct animation_frames {
    std::span<buffer* const> pictures;
    crop_origin origin;
    crop_size size;
    // Hundredths of a second: one delay for every frame, unless delays
    // gives each frame its own (a frame past its end takes delay).
    std::uint16_t delay = 0;
    std::span<const std::uint16_t> delays = {};

    std::size_t count() const { return pictures.size(); }
    std::size_t pixel_count() const { return std::size_t(size.width) * size.height; }
    // Every path asks for each frame's delay here.
    std::uint16_t delay_of(std::size_t i) const { return i < delays.size() ? delays[i] : delay; }
};

enum class colour_mode {
    // One global table from the writer's own reduction.
    standard,
    // A palette per frame from libimagequant, in a local colour table where
    // the global one does not hold its colours.
    fine,
    // The frames' own colours, with neither reduction nor dithering, in one
    // global table of as few entries as they need; writing fails when they
    // are more than a table holds (256 entries, one of them for transparent
    // pixels when there are any). For pictures in a few flat colours.
    exact,
};

// Colours every table holds exactly (a caption's fill and outline): a pixel of
// one of these colours is written as that colour, never dithered, and lossy
// coding neither moves it nor moves another pixel onto it.
struct kept_colours {
    std::array<std::uint32_t, 4> rgb{}; // 0xRRGGBB
    int count = 0;

    // The first count colours (count kept to 0..4).
    std::span<const std::uint32_t> colours() const {
        return {rgb.data(), std::size_t(count < 0 ? 0 : count > 4 ? 4 : count)};
    }
    friend bool operator==(const kept_colours&, const kept_colours&) = default;
};

// How frames become a file. The default writes every frame whole, in the
// standard colours: the bytes the program has always written.
struct gif_encode_options {
    colour_mode colours = colour_mode::standard;
    // Each frame draws only what changed since the frame before, leaving the
    // rest transparent; viewers show the same pictures. Always so with fine
    // colours; never with exact colours.
    bool optimize = false;
    // Lossy coding, 0 (off) to 200: a pixel may take a nearby colour of its
    // frame's table where that lets the LZW string in hand grow, moving at
    // most lossy / 5 delta E (CIE L*a*b*) from the colour written without
    // it (lzw_lossy.hpp). Transparent pixels stay as they are. Standard and
    // fine colours; exact colours stay exact.
    int lossy = 0;
    // The most opaque colours in a table, 2 to 256. 256 keeps the tables as
    // they always were: 255 colours and the transparent entry, 256 entries
    // in all. With fewer, the frames are reduced to that many colours, and
    // each table is the smallest power of two that holds them and, where a
    // frame needs one, the transparent entry. Standard and fine colours;
    // exact colours keep the frames' own.
    int colours_max = 256;
    // None by default. Standard colours reduce the other colours to that many
    // fewer (255 or colours_max less the kept ones) and give the kept ones
    // entries of their own; fine colours add them to every frame's palette.
    // Exact colours hold every colour of the frames exactly already, and
    // add no entry for a kept colour the frames do not have.
    kept_colours kept{};

    // Fine colours: dithered (the default), or every pixel the nearest colour
    // of its palette, which codes shorter on photos and shows bands in
    // smooth gradients. The standard colours always dither.
    bool dither = true;

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

    // Creates the file (mode "wb"). Fails, naming the file and saying why,
    // with nothing written, when the file cannot be created. The header and
    // the logical screen descriptor (13 bytes) go out with the frames.
    outcome open(const std::string& name, crop_origin origin, crop_size size,
                 std::uint16_t loop_count);
    // The same without a file: bytes are only counted. The name is not used.
    outcome open_for_estimate(const std::string& name, crop_origin origin, crop_size size,
                              std::uint16_t loop_count);
    // The same into memory (tests, fuzzing, tools): after close the file's
    // bytes are in memory_file().
    outcome open_in_memory(crop_origin origin, crop_size size, std::uint16_t loop_count);

    // The header, the global colour table, the loop extension (unless the
    // loop count is 1) and every frame, with delay in hundredths of a second.
    // Progress goes to on_progress, one line per frame. Whether bytes reach a
    // file or are only counted was settled by open; the two differ only in
    // the progress line. What goes wrong is told by close.
    void write_frames(std::span<buffer* const> frames, crop_origin origin, crop_size size,
                      std::uint16_t delay);
    void estimate_frames(std::span<buffer* const> frames, crop_origin origin, crop_size size,
                         std::uint16_t delay);
    // The same with a delay of its own for every frame.
    void write_frames(std::span<buffer* const> frames, crop_origin origin, crop_size size,
                      std::span<const std::uint16_t> delays);
    void estimate_frames(std::span<buffer* const> frames, crop_origin origin, crop_size size,
                         std::span<const std::uint16_t> delays);

    // Writes (or counts) the trailer and closes the file. The total byte
    // count becomes size(). Fails, saying why, when writing the file failed
    // somewhere or the frames could not be written as the options ask.
    outcome close();

    // Settings for the frames written from now on.
    void set_options(const gif_encode_options& options) { options_ = options; }
    const gif_encode_options& options() const { return options_; }
    // Whether a second thread takes half the work (it does unless switched
    // off); the bytes are the same either way.
    void set_helper_thread(bool on) { helper_thread_ = on; }
    // For writing the same frames at several lossy levels (the fit's
    // search): while on, fine colours keep what they settle (tables and
    // indices), and frames given again with the same options but the lossy
    // level are only coded again. The same frames means the same buffers,
    // unchanged since: the caller's promise. Switching off lets go of it.
    void reuse_settled_colours(bool on);

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
    outcome start(std::unique_ptr<byte_sink> sink, crop_size size, std::uint16_t loop_count);
    void encode_frames(const animation_frames& frames, bool estimating);

    file_ptr file_;
    std::string name_;
    std::unique_ptr<byte_sink> sink_;
    crop_size screen_{};
    std::uint16_t loop_count_ = 0;
    bool header_written_ = false;
    // The first thing that went wrong since open, told by close.
    outcome trouble_ = outcome::success();
    std::uint32_t total_ = 0;
    std::vector<std::uint8_t> memory_file_;
    std::array<std::uint8_t, 768> global_table_{};
    gif_encode_options options_;
    bool helper_thread_ = true;
    // What fine colours settled for the frames last written, and for which.
    struct settled_frames {
        const buffer* const* pictures = nullptr;
        std::size_t count = 0;
        crop_origin origin;
        crop_size size;
        gif_encode_options options;
    };
    gif_detail::fine_settlement* settlement_for(const animation_frames& frames);
    bool reuse_settled_ = false;
    settled_frames settled_for_;
    std::unique_ptr<gif_detail::fine_settlement> settled_;
    // This thread's tools and the helper's, kept from file to file.
    std::unique_ptr<gif_detail::coding_lane> lanes_[2];
};

} // namespace zoetra
