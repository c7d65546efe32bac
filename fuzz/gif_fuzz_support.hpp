#pragma once
// What the two writer fuzz targets share: the frames a fuzzed file gives,
// the pictures a written file shows, and writers kept from run to run.
#include "gif/decoder.hpp"
#include "gif/encoder.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace fuzzing {

inline void check(bool condition) {
    if (!condition)
        std::abort();
}

// The frames the reader composes from the input, at most max_frames of a
// screen of at most max_pixels; none when the file gives none.
struct read_frames {
    std::vector<std::unique_ptr<zoetra::buffer>> owned;
    std::vector<zoetra::buffer*> frames;
    zoetra::crop_size size{};
};

inline read_frames frames_of(const std::uint8_t* data, std::size_t size, std::size_t max_frames,
                             std::uint32_t max_pixels) {
    read_frames read;
    // The reader makes its canvas as it opens the file: a larger screen is
    // turned away before that, from the logical screen's size in the header.
    if (size < 10 || std::uint32_t(data[6] | data[7] << 8) * (data[8] | data[9] << 8) > max_pixels)
        return read;
    zoetra::gif_reader reader;
    if (!reader.open_bytes(data, size) ||
        std::uint32_t(reader.screen_width()) * reader.screen_height() > max_pixels)
        return read;
    while (read.owned.size() < max_frames) {
        auto frame = reader.read_frame();
        if (!frame)
            break;
        read.owned.push_back(std::move(frame));
    }
    if (read.owned.empty())
        return read;
    read.size = {read.owned[0]->width(), read.owned[0]->height()};
    for (const auto& frame : read.owned) {
        check(frame->width() == read.size.width && frame->height() == read.size.height);
        read.frames.push_back(frame.get());
    }
    return read;
}

// Frames as the reader composes them; a transparent pixel is the flag alone.
using shown_picture = std::vector<zoetra::pixel>;
inline std::vector<shown_picture> shown(const std::vector<std::uint8_t>& file) {
    std::vector<shown_picture> pictures;
    zoetra::gif_reader reader;
    check(reader.open_bytes(file.data(), file.size()).ok());
    while (auto frame = reader.read_frame()) {
        zoetra::buffer_lock hold(*frame);
        const zoetra::pixel* pixels = frame->pixels();
        shown_picture& picture =
            pictures.emplace_back(pixels, pixels + std::size_t(frame->width()) * frame->height());
        for (zoetra::pixel& p : picture)
            p = (p & zoetra::transparent_flag) ? zoetra::transparent_flag : p & 0xFFFFFF;
    }
    return pictures;
}

// The frames themselves, as shown() gives pictures.
inline std::vector<shown_picture> sources(const read_frames& read) {
    std::vector<shown_picture> pictures;
    for (zoetra::buffer* frame : read.frames) {
        zoetra::buffer_lock hold(*frame);
        const zoetra::pixel* pixels = frame->pixels();
        shown_picture& picture =
            pictures.emplace_back(pixels, pixels + std::size_t(frame->width()) * frame->height());
        for (zoetra::pixel& p : picture)
            p = (p & zoetra::transparent_flag) ? zoetra::transparent_flag : p & 0xFFFFFF;
    }
    return pictures;
}

// The writers live from run to run, as a program's would from save to save:
// their tables are made once, so a run pays for its frames rather than for
// fresh memory. The helper thread works in every fourth run.
class writers {
  public:
    explicit writers(std::size_t input_size) : helper_(input_size % 4 == 0) {}

    // The file the options give, checked against its estimate unless asked
    // not to; the file's global table is kept. Writing must succeed unless
    // it may fail, when a failed file is none, and its estimate fails alike.
    std::vector<std::uint8_t> write(const read_frames& read, std::uint16_t loop,
                                    std::uint16_t delay, const zoetra::gif_encode_options& options,
                                    bool check_estimate = true, bool may_fail = false) {
        zoetra::gif_writer& writer = kept(0);
        zoetra::gif_writer& estimator = kept(1);
        writer.set_options(options);
        estimator.set_options(options);
        check(writer.open_in_memory({}, read.size, loop).ok());
        writer.write_frames(read.frames, {}, read.size, delay);
        global_table_ = writer.global_table();
        const bool written = writer.close().ok();
        check(written || may_fail);
        check(writer.size() == writer.memory_file().size());
        if (!check_estimate)
            return writer.memory_file();
        check(estimator.open_for_estimate("temmmp.gif", {}, read.size, loop).ok());
        estimator.estimate_frames(read.frames, {}, read.size, delay);
        check(estimator.close().ok() == written);
        if (!written)
            return {};
        check(estimator.size() == writer.memory_file().size());
        return writer.memory_file();
    }
    const std::array<std::uint8_t, 768>& global_table() const { return global_table_; }

  private:
    zoetra::gif_writer& kept(int k) {
        static zoetra::gif_writer all[2];
        all[k].set_helper_thread(helper_);
        return all[k];
    }
    bool helper_;
    std::array<std::uint8_t, 768> global_table_{};
};

} // namespace fuzzing
