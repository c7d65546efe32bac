// The writer's paths that draw each frame as the change from the frame
// before: the standard colours with optimize on, and fine colours.
//
// Standard colours: the pictures are known once the frames are reduced (every
// frame's indices in the global table), so each frame is planned from them
// and written in the shortest of the forms that show the same picture: its
// rectangle with only the changed pixels drawn, the same rectangle with every
// opaque pixel drawn, or the whole frame as the default writes it (so the
// file never grows); then, where shorter, with a local table of just the
// colours it uses, and coded with lookahead (lzw_lookahead.hpp).
//
// Fine colours: what changes is decided by the source pixels, before any
// colour is chosen. A pixel whose source is the same as in the frame before
// keeps the colour it was shown in; only the pixels a frame has to draw are
// given to libimagequant, which makes that frame's palette. A pixel that must
// be drawn again although its source stayed (the frame before cleared it)
// takes its former colour whenever the new palette holds it exactly; when
// such pixels are more than a few, all frames share one palette, which holds
// them all. Every frame is coded greedily and with lookahead, the shorter
// kept.
#include "base/utility.hpp"
#include "gif/encoder.hpp"
#include "gif/writer_support.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <unordered_map>

namespace zoetra {
namespace {

using gif_detail::copy_crop;
using gif_detail::kept_indices;
using gif_detail::run_side_by_side;

// The standard colours' layout: a 255-colour global table, index 255 transparent.
constexpr std::uint8_t standard_transparent = 255;
constexpr int standard_code_size = 8;

std::uint32_t rgb_key(const std::uint8_t* colour) {
    return std::uint32_t(colour[0]) << 16 | std::uint32_t(colour[1]) << 8 | colour[2];
}

// The fewest bits whose table holds count colours and the transparent entry.
int table_bits(int count) {
    return std::max(1, int(std::bit_width(unsigned(count))));
}

// One source frame as the writer reads it.
struct source_crop {
    heap_ptr<std::uint8_t> rgb;
    heap_ptr<std::uint8_t> transparent;
};

// The source frames around the one in hand, three at a time, each kept in
// slot (frame number mod 3) until another frame needs the slot.
class source_window {
  public:
    source_window(std::span<buffer* const> frames, crop_origin origin, crop_size size)
        : frames_(frames), origin_(origin), size_(size) {
        const std::size_t room = std::max<std::size_t>(std::size_t(size.width) * size.height, 1);
        for (source_crop& slot : slots_) {
            slot.rgb = allocate_array<std::uint8_t>(room * 3);
            slot.transparent = allocate_array<std::uint8_t>(room);
        }
    }
    const source_crop& get(std::size_t frame) {
        const std::size_t slot = frame % 3;
        if (held_[slot] != frame) {
            copy_crop(frames_[frame], origin_, size_, slots_[slot].rgb.get(),
                      slots_[slot].transparent.get());
            held_[slot] = frame;
        }
        return slots_[slot];
    }

  private:
    std::span<buffer* const> frames_;
    crop_origin origin_;
    crop_size size_;
    source_crop slots_[3];
    std::size_t held_[3] = {SIZE_MAX, SIZE_MAX, SIZE_MAX};
};

// Whether a pixel shows the same in two source frames: both transparent, or
// both opaque in the same colour.
bool same_source(const source_crop& a, const source_crop& b, std::size_t p) {
    const bool clear_a = a.transparent.get()[p] != 0, clear_b = b.transparent.get()[p] != 0;
    if (clear_a || clear_b)
        return clear_a && clear_b;
    const std::uint8_t *x = a.rgb.get() + p * 3, *y = b.rgb.get() + p * 3;
    return x[0] == y[0] && x[1] == y[1] && x[2] == y[2];
}

// A frame's own colours under fine colours.
struct fine_palette {
    int count = 0;
    std::uint8_t colours[fine_quantizer::max_colours * 3] = {};
};

} // namespace

void gif_writer::write_frame_head(const frame_layout& frame, std::uint16_t delay) {
    // Graphic control extension: the disposal, transparency on, the delay and
    // the transparent index.
    const std::uint8_t control[8] = {0x21,
                                     0xF9,
                                     0x04,
                                     std::uint8_t(std::uint8_t(frame.disposal) << 2 | 0x01),
                                     std::uint8_t(delay & 0xFF),
                                     std::uint8_t(delay >> 8),
                                     frame.transparent,
                                     0x00};
    sink_->write(control, sizeof control);
    // Image descriptor, not interlaced, with the local table if there is one,
    // and the minimum code size of the LZW data that follows.
    sink_->put(0x2C);
    sink_->put_word(std::uint16_t(frame.rect.left));
    sink_->put_word(std::uint16_t(frame.rect.top));
    sink_->put_word(std::uint16_t(frame.rect.width));
    sink_->put_word(std::uint16_t(frame.rect.height));
    if (frame.local_bits == 0) {
        sink_->put(0x00);
    } else {
        sink_->put(std::uint8_t(0x80 | (frame.local_bits - 1)));
        sink_->write(frame.local_table, std::size_t(3) << frame.local_bits);
    }
    sink_->put(std::uint8_t(frame.code_size));
}

void gif_writer::write_changes(std::size_t frame_count, crop_size size, std::uint16_t delay,
                               const std::function<void(std::size_t, std::uint8_t*)>& picture_of,
                               const std::function<void(std::size_t)>& announce) {
    if (frame_count == 0)
        return;
    const int width = size.width, height = size.height;
    const std::size_t pixel_count = std::size_t(width) * height;
    const std::size_t room = std::max<std::size_t>(pixel_count, 1);
    // Three pictures (the previous, this and the next), masks and the
    // rectangle's two forms, in one block.
    enum {
        previous_at,
        current_at,
        next_at,
        first_opaque_at,
        opaque_at,
        next_opaque_at,
        same_at,
        need_at,
        changes_at,
        rect_at,
        local_at,
        parts
    };
    auto block = allocate_zeroed_array<std::uint8_t>(room * parts);
    auto part = [&](int at) { return block.get() + std::size_t(at) * room; };
    std::uint8_t *previous = part(previous_at), *current = part(current_at), *next = part(next_at);
    std::uint8_t *first_opaque = part(first_opaque_at), *opaque = part(opaque_at),
                 *next_opaque = part(next_opaque_at), *same = part(same_at), *need = part(need_at);
    std::uint8_t *changes_only = part(changes_at), *whole_rect = part(rect_at),
                 *local_pixels = part(local_at);
    memory_sink changes_data, rect_data, frame_data, local_data, lookahead_data;
    std::array<std::uint8_t, 768> local_table{};

    if (!lookahead_)
        lookahead_ = std::make_unique<lzw_lookahead_encoder>();
    frame_planner planner(width, height);
    const frame_rect screen = planner.screen();
    picture_of(0, next);
    for (std::size_t p = 0; p < pixel_count; ++p)
        first_opaque[p] = next[p] != standard_transparent;
    for (std::size_t i = 0; i < frame_count; ++i) {
        std::swap(previous, current);
        std::swap(current, next);
        const bool last = i + 1 == frame_count;
        if (!last)
            picture_of(i + 1, next);
        for (std::size_t p = 0; p < pixel_count; ++p) {
            opaque[p] = current[p] != standard_transparent;
            next_opaque[p] = last ? first_opaque[p] : next[p] != standard_transparent;
            same[p] = i > 0 && current[p] == previous[p];
        }
        const frame_step step = planner.plan(opaque, same, next_opaque, need);
        const frame_rect rect = step.rect;

        // The rectangle with only what must be drawn, and with every opaque
        // pixel drawn (they differ only where a colour stayed).
        bool kept_colours = false;
        std::uint8_t* changes = changes_only;
        std::uint8_t* in_rect = whole_rect;
        for (int y = 0; y < rect.height; ++y) {
            const std::size_t row = std::size_t(rect.top + y) * width + rect.left;
            for (int x = 0; x < rect.width; ++x) {
                const std::uint8_t index = current[row + x];
                *in_rect++ = index;
                *changes++ = need[row + x] ? index : standard_transparent;
                kept_colours = kept_colours || (!need[row + x] && index != standard_transparent);
            }
        }
        const bool whole_frame_differs = rect != screen;
        run_side_by_side(
            [&] {
                changes_data.clear();
                lzw_->encode(standard_code_size + 1, changes_data, changes_only, rect.area());
            },
            [&] {
                rect_data.clear();
                frame_data.clear();
                if (kept_colours)
                    helper_lzw_->encode(standard_code_size + 1, rect_data, whole_rect, rect.area());
                if (whole_frame_differs)
                    helper_lzw_->encode(standard_code_size + 1, frame_data, current, pixel_count);
            },
            helper_thread_);

        // The smallest; on a tie, the first.
        const memory_sink* chosen = &changes_data;
        const std::uint8_t* chosen_pixels = changes_only;
        frame_rect chosen_rect = rect;
        if (kept_colours && rect_data.byte_count() < chosen->byte_count()) {
            chosen = &rect_data;
            chosen_pixels = whole_rect;
        }
        if (whole_frame_differs && frame_data.byte_count() < chosen->byte_count()) {
            chosen = &frame_data;
            chosen_pixels = current;
            chosen_rect = screen;
        }
        // A frame that uses few colours may take a local table of just
        // those: narrower codes can more than pay for the table.
        frame_layout layout{chosen_rect, step.disposal, standard_transparent, standard_code_size};
        const std::size_t chosen_area = chosen_rect.area();
        bool used[256] = {};
        int used_count = 0;
        for (std::size_t p = 0; p < chosen_area; ++p) {
            const std::uint8_t index = chosen_pixels[p];
            used_count += !used[index] && index != standard_transparent;
            used[index] = true;
        }
        if (const int bits = table_bits(used_count); bits < standard_code_size) {
            std::uint8_t to_local[256];
            local_table.fill(0);
            int n = 0;
            for (int index = 0; index < 256; ++index) {
                if (!used[index] || index == standard_transparent)
                    continue;
                std::copy_n(global_table_.data() + index * 3, 3, local_table.data() + n * 3);
                to_local[index] = std::uint8_t(n++);
            }
            to_local[standard_transparent] = std::uint8_t(n);
            for (std::size_t p = 0; p < chosen_area; ++p)
                local_pixels[p] = to_local[chosen_pixels[p]];
            local_data.clear();
            const int code_size = std::max(2, bits);
            lzw_->encode(code_size + 1, local_data, local_pixels, chosen_area);
            if (local_data.byte_count() + (std::size_t(3) << bits) < chosen->byte_count()) {
                chosen = &local_data;
                chosen_pixels = local_pixels;
                layout = {chosen_rect, step.disposal, std::uint8_t(n),
                          code_size,   bits,          local_table.data()};
            }
        }
        // And coded with lookahead, when that is shorter.
        lookahead_data.clear();
        lookahead_->encode(layout.code_size + 1, lookahead_data, chosen_pixels, chosen_area);
        if (lookahead_data.byte_count() < chosen->byte_count())
            chosen = &lookahead_data;
        announce(i);
        write_frame_head(layout, delay);
        sink_->write(chosen->bytes().data(), chosen->bytes().size());
        sink_->put(0x00);
        planner.drawn(chosen_rect, step.disposal);
    }
}

void gif_writer::encode_fine(std::span<buffer* const> frames, crop_origin origin, crop_size size,
                             std::uint16_t delay, progress kind) {
    const std::size_t frame_count = frames.size();
    const int width = size.width, height = size.height;
    const std::size_t pixel_count = std::size_t(width) * height;
    const std::size_t room = std::max<std::size_t>(pixel_count, 1);
    if (!fine_) {
        fine_ = std::make_unique<fine_quantizer>();
        helper_fine_ = std::make_unique<fine_quantizer>();
    }
    if (!helper_lzw_)
        helper_lzw_ = std::make_unique<lzw_encoder>();
    if (!lookahead_)
        lookahead_ = std::make_unique<lzw_lookahead_encoder>();
    if (!helper_lookahead_)
        helper_lookahead_ = std::make_unique<lzw_lookahead_encoder>();
    source_window sources(frames, origin, size);
    frame_planner planner(width, height);
    const frame_rect screen = planner.screen();

    // First the plan: rectangles and disposals follow from the sources alone.
    // It also counts the pixels whose source stayed, and those of them that a
    // frame must draw again because the frame before cleared them.
    std::vector<frame_step> steps(frame_count);
    std::size_t still = 0, redrawn_still = 0;
    {
        auto block = allocate_zeroed_array<std::uint8_t>(room * 5);
        std::uint8_t *first_opaque = block.get(), *opaque = first_opaque + room,
                     *next_opaque = opaque + room, *same = next_opaque + room, *need = same + room;
        for (std::size_t i = 0; i < frame_count; ++i) {
            const source_crop& now = sources.get(i);
            for (std::size_t p = 0; p < pixel_count; ++p)
                opaque[p] = !now.transparent.get()[p];
            if (i == 0)
                std::copy_n(opaque, pixel_count, first_opaque);
            if (i > 0) {
                const source_crop& before = sources.get(i - 1);
                for (std::size_t p = 0; p < pixel_count; ++p)
                    same[p] = same_source(before, now, p);
            }
            if (i + 1 < frame_count) {
                const source_crop& after = sources.get(i + 1);
                for (std::size_t p = 0; p < pixel_count; ++p)
                    next_opaque[p] = !after.transparent.get()[p];
            } else {
                std::copy_n(first_opaque, pixel_count, next_opaque);
            }
            if (i > 0) {
                const frame_rect cleared = planner.cleared();
                for (std::size_t p = 0; p < pixel_count; ++p) {
                    still += same[p];
                    redrawn_still +=
                        same[p] && opaque[p] && cleared.contains(int(p % width), int(p / width));
                }
            }
            steps[i] = planner.plan(opaque, same, next_opaque, need);
            planner.drawn(steps[i].rect, steps[i].disposal);
        }
    }
    auto cleared_before = [&](std::size_t i) {
        if (i == 0)
            return screen;
        return steps[i - 1].disposal == frame_disposal::clear ? steps[i - 1].rect : frame_rect{};
    };

    // Then every frame's colours. A frame's input is its rectangle, with
    // alpha 0 where it draws nothing; pixels drawn again although their
    // source stayed are listed for the second pass.
    auto rgba = allocate_array<std::uint8_t>(room * 4 * 2);
    std::vector<std::vector<std::uint32_t>> redrawn(frame_count);
    std::vector<fine_palette> palettes(frame_count);
    kept_indices frame_indices(frame_count, 0);
    auto take_input = [&](std::size_t i, int slot) {
        const source_crop* before = i > 0 ? &sources.get(i - 1) : nullptr;
        const source_crop& now = sources.get(i);
        const frame_rect rect = steps[i].rect, cleared = cleared_before(i);
        std::uint8_t* out = rgba.get() + std::size_t(slot) * room * 4;
        redrawn[i].clear();
        std::uint32_t at = 0;
        for (int y = rect.top; y < rect.top + rect.height; ++y) {
            for (int x = rect.left; x < rect.left + rect.width; ++x, ++at, out += 4) {
                const std::size_t p = std::size_t(y) * width + x;
                const bool opaque = !now.transparent.get()[p];
                const bool same = before != nullptr && same_source(*before, now, p);
                if (!frame_planner::must_draw(cleared.contains(x, y), opaque, same)) {
                    out[0] = out[1] = out[2] = out[3] = 0;
                    continue;
                }
                std::copy_n(now.rgb.get() + p * 3, 3, out);
                out[3] = 255;
                if (same)
                    redrawn[i].push_back(at);
            }
        }
    };
    auto reduce = [&](fine_quantizer& quantizer, std::size_t i, int slot, std::uint8_t* indices) {
        palettes[i].count =
            quantizer.reduce(rgba.get() + std::size_t(slot) * room * 4, steps[i].rect.width,
                             steps[i].rect.height, indices, palettes[i].colours);
    };
    // Pixels drawn again keep their colour only where the new palette holds
    // it. When more than one in 2,000 of the still pixels are drawn again,
    // every frame takes one shared palette instead, which holds them all.
    const bool shared = redrawn_still * 2000 > still;
    if (shared) {
        fine_->start_shared();
        for (std::size_t i = 0; i < frame_count; ++i) {
            take_input(i, 0);
            fine_->add_shared(rgba.get(), steps[i].rect.width, steps[i].rect.height);
        }
        fine_palette palette;
        palette.count = fine_->choose_shared(palette.colours);
        std::fill(palettes.begin(), palettes.end(), palette);
    }
    auto map_shared = [&](std::size_t i, std::uint8_t* indices) {
        take_input(i, 0);
        fine_->map_shared(rgba.get(), steps[i].rect.width, steps[i].rect.height, indices);
    };
    for (std::size_t i = 0; shared && i < frame_count; ++i) {
        frame_indices.pin(i, 1);
        map_shared(i, frame_indices.make(i, steps[i].rect.area()));
    }
    for (std::size_t i = 0; !shared && i < frame_count; i += 2) {
        const bool pair = i + 1 < frame_count;
        frame_indices.pin(i, pair ? 2 : 1);
        std::uint8_t* first = frame_indices.make(i, steps[i].rect.area());
        std::uint8_t* second = pair ? frame_indices.make(i + 1, steps[i + 1].rect.area()) : nullptr;
        take_input(i, 0);
        if (!pair) {
            reduce(*fine_, i, 0, first);
            break;
        }
        take_input(i + 1, 1);
        run_side_by_side([&] { reduce(*fine_, i, 0, first); },
                         [&] { reduce(*helper_fine_, i + 1, 1, second); }, helper_thread_);
    }
    frame_indices.pin(0, 0);

    // The global table takes the colours of the frames in order while they
    // fit; a frame whose colours are all there needs no table of its own.
    std::unordered_map<std::uint32_t, std::uint8_t> global_colours;
    std::vector<char> uses_global(frame_count, 0);
    global_table_.fill(0);
    for (std::size_t i = 0; i < frame_count; ++i) {
        int missing = 0;
        for (int e = 0; e < palettes[i].count; ++e)
            missing += global_colours.count(rgb_key(palettes[i].colours + e * 3)) == 0;
        if (int(global_colours.size()) + missing > fine_quantizer::max_colours)
            continue;
        uses_global[i] = 1;
        for (int e = 0; e < palettes[i].count; ++e) {
            const std::uint8_t* colour = palettes[i].colours + e * 3;
            auto [entry, added] =
                global_colours.try_emplace(rgb_key(colour), std::uint8_t(global_colours.size()));
            if (added)
                std::copy_n(colour, 3, global_table_.data() + std::size_t(entry->second) * 3);
        }
    }
    const int global_count = int(global_colours.size());
    sink_->write(global_table_.data(), global_table_.size());
    if (loop_count_ != 1)
        write_loop_extension();

    // Last, the frames in order. The canvas is what a viewer shows after each
    // frame; it gives the former colours of pixels drawn again.
    auto canvas_block = allocate_array<pixel>(room);
    pixel* canvas = canvas_block.get();
    std::fill_n(canvas, room, transparent_flag);
    std::vector<frame_layout> layouts(frame_count);
    std::vector<std::array<std::uint8_t, 768>> local_tables(2);
    auto keep_indices_of = [&](std::size_t i) {
        if (frame_indices.get(i) != nullptr)
            return;
        std::uint8_t* made = frame_indices.make(i, steps[i].rect.area());
        if (shared) {
            map_shared(i, made);
            return;
        }
        take_input(i, 0);
        reduce(*fine_, i, 0, made);
    };
    // Settles frame i's table and indices, and draws it on the canvas.
    auto settle = [&](std::size_t i, std::array<std::uint8_t, 768>& local_table) {
        const fine_palette& palette = palettes[i];
        const frame_rect rect = steps[i].rect;
        std::uint8_t* indices = frame_indices.get(i);
        std::unordered_map<std::uint32_t, std::uint8_t> own;
        for (int e = 0; e < palette.count; ++e)
            own.try_emplace(rgb_key(palette.colours + e * 3), std::uint8_t(e));
        for (std::uint32_t at : redrawn[i]) {
            const std::size_t p = std::size_t(rect.top + int(at) / rect.width) * width +
                                  std::size_t(rect.left + int(at) % rect.width);
            if (canvas[p] & transparent_flag)
                continue;
            if (auto found = own.find(canvas[p] & 0xFFFFFF); found != own.end())
                indices[at] = found->second;
        }
        frame_layout& layout = layouts[i];
        layout.rect = rect;
        layout.disposal = steps[i].disposal;
        std::uint8_t to_table[256];
        const std::uint8_t* table;
        if (uses_global[i]) {
            layout.transparent = std::uint8_t(global_count);
            layout.code_size = std::max(2, int(std::bit_width(unsigned(global_count))));
            for (int e = 0; e < palette.count; ++e)
                to_table[e] = global_colours.at(rgb_key(palette.colours + e * 3));
            table = global_table_.data();
        } else {
            const int bits = table_bits(palette.count);
            layout.transparent = std::uint8_t(palette.count);
            layout.code_size = std::max(2, bits);
            layout.local_bits = bits;
            local_table.fill(0);
            std::copy_n(palette.colours, palette.count * 3, local_table.data());
            layout.local_table = local_table.data();
            for (int e = 0; e < palette.count; ++e)
                to_table[e] = std::uint8_t(e);
            table = local_table.data();
        }
        to_table[fine_quantizer::not_drawn] = layout.transparent;
        const frame_rect cleared = cleared_before(i);
        for (int y = cleared.top; y < cleared.top + cleared.height; ++y)
            std::fill_n(canvas + std::size_t(y) * width + cleared.left, cleared.width,
                        transparent_flag);
        std::size_t at = 0;
        for (int y = rect.top; y < rect.top + rect.height; ++y) {
            for (int x = rect.left; x < rect.left + rect.width; ++x, ++at) {
                const std::uint8_t index = to_table[indices[at]];
                indices[at] = index;
                if (index != layout.transparent)
                    canvas[std::size_t(y) * width + x] = pixel(rgb_key(table + index * 3));
            }
        }
    };
    // Each frame is coded both greedily and with lookahead; the shorter goes.
    memory_sink coded[2][2];
    auto code = [&](std::size_t i, lzw_encoder& greedy, lzw_lookahead_encoder& lookahead,
                    memory_sink* out) {
        out[0].clear();
        out[1].clear();
        greedy.encode(layouts[i].code_size + 1, out[0], frame_indices.get(i), steps[i].rect.area());
        lookahead.encode(layouts[i].code_size + 1, out[1], frame_indices.get(i),
                         steps[i].rect.area());
    };
    auto write_coded = [&](std::size_t i, const memory_sink* out) {
        const memory_sink& shorter = out[1].byte_count() < out[0].byte_count() ? out[1] : out[0];
        announce_frame(kind, i, frame_count, delay);
        write_frame_head(layouts[i], delay);
        sink_->write(shorter.bytes().data(), shorter.bytes().size());
        sink_->put(0x00);
    };
    for (std::size_t i = 0; i < frame_count; i += 2) {
        const bool pair = i + 1 < frame_count;
        frame_indices.pin(i, pair ? 2 : 1);
        keep_indices_of(i);
        if (pair)
            keep_indices_of(i + 1);
        settle(i, local_tables[0]);
        if (pair)
            settle(i + 1, local_tables[1]);
        if (!pair) {
            code(i, *lzw_, *lookahead_, coded[0]);
            write_coded(i, coded[0]);
            break;
        }
        run_side_by_side([&] { code(i, *lzw_, *lookahead_, coded[0]); },
                         [&] { code(i + 1, *helper_lzw_, *helper_lookahead_, coded[1]); },
                         helper_thread_);
        write_coded(i, coded[0]);
        write_coded(i + 1, coded[1]);
        frame_indices.drop(i);
        frame_indices.drop(i + 1);
    }
}

} // namespace zoetra
