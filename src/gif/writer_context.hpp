#pragma once
// What every path of the writer works with: the tools of its two lanes, the
// thread beside its own, the blocks of the file, the progress lines, and the
// animation's global table.
#include "gif/encoder.hpp"
#include "gif/fine_quantizer.hpp"
#include "gif/gif_blocks.hpp"
#include "gif/lzw_encoder.hpp"
#include "gif/lzw_lookahead.hpp"
#include "gif/lzw_lossy.hpp"
#include "gif/quantizer.hpp"
#include "gif/side_by_side.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zoetra::gif_detail {

// The global table of the standard and fine colours: 256 entries.
inline constexpr int full_table_bits = 8;

// The tools one thread reduces and codes frames with. The writer keeps two,
// its own thread's and the helper's, from file to file, so that their tables
// are made once. Every lane has a greedy coder; a path makes the other tools
// it needs with need(), on the writer's thread, before any job runs: making
// them takes memory from the shared allocator, which a helper thread must
// not reach.
struct coding_lane {
    enum tool : unsigned {
        standard_reduction = 1,
        fine_reduction = 2,
        lookahead_coding = 4,
        lossy_coding = 8,
    };
    coding_lane();
    void need(unsigned tools);

    // Codes count indices greedily into coded, and returns it.
    const memory_sink& code_greedily(int code_size, const std::uint8_t* indices, std::size_t count);
    // Codes count indices into sink: lossily when the frame's level is above
    // 0 (the lane needs lossy_coding then), otherwise greedily.
    void code_into(memory_sink& sink, int code_size, const std::uint8_t* indices, std::size_t count,
                   const lossy_frame& frame);
    // The same into coded, which it returns.
    const memory_sink& code_frame(int code_size, const std::uint8_t* indices, std::size_t count,
                                  const lossy_frame& frame);
    // The last step of coding a frame: the shortest of the streams the coders
    // give for the same indices. greedy: the greedy coder's, made already;
    // the lookahead coder's goes to coded_ahead. On a tie, greedy.
    const memory_sink& shortest(int code_size, const std::uint8_t* indices, std::size_t count,
                                const memory_sink& greedy);

    std::unique_ptr<colour_quantizer> quantizer;
    std::unique_ptr<fine_quantizer> fine;
    std::unique_ptr<lzw_encoder> greedy;
    std::unique_ptr<lzw_lookahead_encoder> lookahead;
    std::unique_ptr<lzw_lossy_encoder> lossy;
    memory_sink coded;
    memory_sink coded_ahead;
};

class writer_context {
  public:
    // The gif_writer's state for one run of write_frames or estimate_frames.
    struct file_state {
        byte_sink& sink;
        crop_size screen;
        std::uint16_t loop_count;
        bool& header_written;
        std::array<std::uint8_t, 768>& global_table;
        const std::function<void(const std::string&)>& on_progress;
        bool estimating;
        bool helper;
        const gif_encode_options& options;
    };
    writer_context(const file_state& file, coding_lane& own, coding_lane& helper);

    coding_lane& lane(int k) { return *lanes_[k]; }
    const gif_encode_options& options() const { return file_.options; }
    // Each lane with the lossy coder when the options ask for it; the
    // lossy level for every frame (0 when off).
    int lossy_level();
    const side_by_side& threads() const { return threads_; }
    std::array<std::uint8_t, 768>& global_table() { return file_.global_table; }

    // The header (once per file), the global table of 1 << bits entries from
    // global_table(), and the loop extension unless the loop count is 1.
    void open_animation(int table_bits);
    // Frame i of frames: its progress line, its head and its coded data.
    void write_frame(std::size_t i, const animation_frames& frames, const frame_layout& layout,
                     const memory_sink& coded);

  private:
    void announce(std::size_t i, const animation_frames& frames) const;

    file_state file_;
    gif_blocks blocks_;
    side_by_side threads_;
    coding_lane* lanes_[2];
};

} // namespace zoetra::gif_detail
