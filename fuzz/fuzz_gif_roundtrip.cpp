// Round trip through the GIF writer: whatever frames the reader gets out of
// the input are written again, and the written file must read back with the
// same frame count and size, every transparent pixel still transparent and
// every painted pixel painted in a colour of the written global table. The
// size estimate must equal the written length. Written again as changes
// (optimize), the file must show the same pictures and be no larger; with
// fine colours, transparency must stay exactly where it was.
#include "gif/decoder.hpp"
#include "gif/encoder.hpp"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>
#include <vector>

namespace {

// Keeps each run quick: the reductions cost time per pixel.
constexpr std::size_t max_frames = 4;
constexpr std::uint32_t max_canvas_pixels = 128 * 128;

void check(bool condition) {
    if (!condition)
        std::abort();
}

std::vector<std::unique_ptr<zoetra::buffer>> read_frames(const std::uint8_t* data,
                                                         std::size_t size) {
    std::vector<std::unique_ptr<zoetra::buffer>> frames;
    zoetra::gif_reader reader;
    if (!reader.open_bytes(data, size) ||
        std::uint32_t(reader.screen_width()) * reader.screen_height() > max_canvas_pixels)
        return frames;
    while (frames.size() < max_frames) {
        auto frame = reader.read_frame();
        if (!frame)
            break;
        frames.push_back(std::move(frame));
    }
    return frames;
}

// Frames as the reader composes them; a transparent pixel is the flag alone.
using shown_picture = std::vector<zoetra::pixel>;
std::vector<shown_picture> shown(const std::vector<std::uint8_t>& file) {
    std::vector<shown_picture> pictures;
    zoetra::gif_reader reader;
    check(reader.open_bytes(file.data(), file.size()));
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

// The file the options give, checked against its estimate.
std::vector<std::uint8_t> written(const std::vector<zoetra::buffer*>& frames,
                                  zoetra::crop_size crop, std::uint16_t loop, std::uint16_t delay,
                                  const zoetra::gif_encode_options& options) {
    zoetra::gif_writer writer, estimator;
    writer.set_options(options);
    estimator.set_options(options);
    check(writer.open_in_memory({}, crop, loop));
    writer.write_frames(frames, {}, crop, delay);
    check(writer.close());
    check(estimator.open_for_estimate("temmmp.gif", {}, crop, loop));
    estimator.estimate_frames(frames, {}, crop, delay);
    check(estimator.close());
    check(estimator.size() == writer.memory_file().size());
    return writer.memory_file();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto frames = read_frames(data, size);
    if (frames.empty())
        return 0;
    const std::uint16_t width = frames[0]->width(), height = frames[0]->height();
    for (const auto& frame : frames)
        check(frame->width() == width && frame->height() == height);
    std::vector<zoetra::buffer*> pointers;
    for (const auto& frame : frames)
        pointers.push_back(frame.get());

    const zoetra::crop_size crop{width, height};
    const std::uint16_t loop = size % 3 == 0 ? 0 : size % 3 == 1 ? 1 : 5;
    const std::uint16_t delay = std::uint16_t(size * 7 % 200);
    zoetra::gif_writer writer;
    check(writer.open_in_memory({}, crop, loop));
    writer.write_frames(pointers, {}, crop, delay);
    const auto table = writer.global_table();
    check(writer.close());
    const std::vector<std::uint8_t> file = writer.memory_file();
    check(writer.size() == file.size());

    zoetra::gif_writer estimator;
    check(estimator.open_for_estimate("temmmp.gif", {}, crop, loop));
    estimator.estimate_frames(pointers, {}, crop, delay);
    check(estimator.close());
    check(estimator.size() == file.size());

    std::set<zoetra::pixel> table_colours;
    for (int i = 0; i < 255; ++i)
        table_colours.insert(zoetra::pixel(table[i * 3]) << 16 |
                             zoetra::pixel(table[i * 3 + 1]) << 8 | table[i * 3 + 2]);

    zoetra::gif_reader again;
    check(again.open_bytes(file.data(), file.size()));
    check(again.screen_width() == width && again.screen_height() == height);
    for (const auto& original : frames) {
        const auto copy = again.read_frame();
        check(copy != nullptr);
        zoetra::buffer_lock hold_original(*original), hold_copy(*copy);
        const zoetra::pixel* before = original->pixels();
        const zoetra::pixel* after = copy->pixels();
        for (std::size_t i = 0; i < std::size_t(width) * height; ++i) {
            const bool was_transparent = (before[i] & zoetra::transparent_flag) != 0;
            check(((after[i] & zoetra::transparent_flag) != 0) == was_transparent);
            if (!was_transparent)
                check(table_colours.count(after[i] & 0xFFFFFF) == 1);
        }
    }
    check(again.read_frame() == nullptr);

    const std::vector<shown_picture> plain = shown(file);
    const zoetra::gif_encode_options changes{zoetra::colour_mode::standard, true};
    const std::vector<std::uint8_t> optimized = written(pointers, crop, loop, delay, changes);
    check(optimized.size() <= file.size());
    check(shown(optimized) == plain);
    const zoetra::gif_encode_options fine{zoetra::colour_mode::fine, false};
    const std::vector<shown_picture> finer = shown(written(pointers, crop, loop, delay, fine));
    check(finer.size() == plain.size());
    for (std::size_t f = 0; f < finer.size(); ++f)
        for (std::size_t i = 0; i < finer[f].size(); ++i)
            check((finer[f][i] == zoetra::transparent_flag) ==
                  (plain[f][i] == zoetra::transparent_flag));
    return 0;
}
