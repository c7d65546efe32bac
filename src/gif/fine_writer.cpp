#include "gif/fine_writer.hpp"

#include <algorithm>

namespace zoetra::gif_detail {
namespace {

std::uint32_t rgb_key(const std::uint8_t* colour) {
    return std::uint32_t(colour[0]) << 16 | std::uint32_t(colour[1]) << 8 | colour[2];
}

// When more than one in this many of the still pixels are drawn again, every
// frame takes one shared palette.
constexpr std::size_t shared_palette_ratio = 2000;

} // namespace

fine_writer::fine_writer(writer_context& context, const animation_frames& frames,
                         fine_settlement* settled)
    : context_(context), frames_(frames), width_(frames.size.width),
      pixel_count_(frames.pixel_count()), room_(std::max<std::size_t>(pixel_count_, 1)),
      sources_(frames), planner_(frames.size.width, frames.size.height), steps_(frames.count()),
      indices_(frames.count(), 0), fewer_(context.options().colours_max < 256),
      most_colours_(std::clamp(context.options().colours_max, 2, fine_quantizer::max_colours)),
      settled_(settled) {}

void fine_writer::write() {
    for (int k = 0; k < 2; ++k) {
        context_.lane(k).need(coding_lane::fine_reduction | coding_lane::lookahead_coding);
        context_.lane(k).fine->set_most_colours(most_colours_);
        context_.lane(k).fine->set_dithering(context_.options().dither);
        context_.lane(k).fine->set_kept_colours(context_.options().kept.colours());
    }
    lossy_level_ = context_.lossy_level();
    if (settled_ != nullptr && settled_->complete) {
        write_settled();
        return;
    }
    if (settled_ != nullptr) {
        settled_->frames.clear();
        if (frames_.count() * frames_.pixel_count() <= fine_settlement::most_indices)
            settled_->frames.resize(frames_.count());
        else
            settled_ = nullptr;
    }
    plan();
    choose_palettes();
    fill_global_table();
    settle_code_and_write();
}

// ---- the plan ---------------------------------------------------------------

// Rectangles and disposals follow from the sources alone.
void fine_writer::plan() {
    auto block = allocate_zeroed_array<std::uint8_t>(room_ * 5);
    const plan_masks masks{block.get(), block.get() + room_, block.get() + room_ * 2,
                           block.get() + room_ * 3, block.get() + room_ * 4};
    for (std::size_t i = 0; i < frames_.count(); ++i) {
        compare(i, masks);
        if (i > 0)
            count_still(masks);
        steps_[i] = planner_.plan(masks.opaque, masks.same, masks.next_opaque, masks.need);
        planner_.drawn(steps_[i].rect, steps_[i].disposal);
    }
}

// Frame i's source against the one before and the one after (the first after
// the last).
void fine_writer::compare(std::size_t i, const plan_masks& masks) {
    const source_crop& now = sources_.get(i);
    for (std::size_t p = 0; p < pixel_count_; ++p)
        masks.opaque[p] = !now.transparent.get()[p];
    if (i == 0)
        std::copy_n(masks.opaque, pixel_count_, masks.first_opaque);
    if (i > 0) {
        const source_crop& before = sources_.get(i - 1);
        for (std::size_t p = 0; p < pixel_count_; ++p)
            masks.same[p] = before.same_as(now, p);
    }
    if (i + 1 < frames_.count()) {
        const source_crop& after = sources_.get(i + 1);
        for (std::size_t p = 0; p < pixel_count_; ++p)
            masks.next_opaque[p] = !after.transparent.get()[p];
    } else {
        std::copy_n(masks.first_opaque, pixel_count_, masks.next_opaque);
    }
}

void fine_writer::count_still(const plan_masks& masks) {
    const frame_rect cleared = planner_.cleared();
    for (std::size_t p = 0; p < pixel_count_; ++p) {
        still_ += masks.same[p];
        redrawn_still_ +=
            masks.same[p] && masks.opaque[p] && cleared.contains(int(p % width_), int(p / width_));
    }
}

frame_rect fine_writer::cleared_before(std::size_t i) const {
    if (i == 0)
        return planner_.screen();
    return steps_[i - 1].disposal == frame_disposal::clear ? steps_[i - 1].rect : frame_rect{};
}

// ---- the palettes -----------------------------------------------------------

// Pixels drawn again keep their colour only where the new palette holds it.
// When many are drawn again, every frame takes one shared palette instead,
// which holds them all.
void fine_writer::choose_palettes() {
    rgba_ = allocate_array<std::uint8_t>(room_ * 4 * 2);
    redrawn_.resize(frames_.count());
    undrawn_.resize(frames_.count());
    palettes_.resize(frames_.count());
    shared_ = redrawn_still_ * shared_palette_ratio > still_;
    if (shared_) {
        choose_shared_palette();
        for (std::size_t i = 0; i < frames_.count(); ++i) {
            indices_.pin(i, 1);
            indices_.make(i, steps_[i].rect.area());
            map_shared(i);
        }
    } else {
        context_.threads().in_pairs(
            frames_.count(), [&](std::size_t first, std::size_t n) { take_pair(first, n); },
            [&](std::size_t frame, int lane) {
                reduce_frame(*context_.lane(lane).fine, frame, lane);
            },
            [](std::size_t, int) {});
    }
    indices_.pin(0, 0);
}

void fine_writer::take_pair(std::size_t first, std::size_t n) {
    indices_.pin(first, n);
    for (std::size_t k = 0; k < n; ++k)
        indices_.make(first + k, steps_[first + k].rect.area());
    for (std::size_t k = 0; k < n; ++k)
        take_input(first + k, int(k));
}

// A frame's input is its rectangle, with alpha 0 where it draws nothing;
// pixels drawn again although their source stayed are listed for settling.
void fine_writer::take_input(std::size_t i, int slot) {
    const source_crop* before = i > 0 ? &sources_.get(i - 1) : nullptr;
    const source_crop& now = sources_.get(i);
    const frame_rect rect = steps_[i].rect, cleared = cleared_before(i);
    std::uint8_t* out = rgba_.get() + std::size_t(slot) * room_ * 4;
    redrawn_[i].clear();
    undrawn_[i] = 0;
    std::uint32_t at = 0;
    for (int y = rect.top; y < rect.top + rect.height; ++y) {
        for (int x = rect.left; x < rect.left + rect.width; ++x, ++at, out += 4) {
            const std::size_t p = std::size_t(y) * width_ + x;
            const bool opaque = !now.transparent.get()[p];
            const bool same = before != nullptr && before->same_as(now, p);
            if (!frame_planner::must_draw(cleared.contains(x, y), opaque, same)) {
                out[0] = out[1] = out[2] = out[3] = 0;
                undrawn_[i] = 1;
                continue;
            }
            std::copy_n(now.rgb.get() + p * 3, 3, out);
            out[3] = 255;
            if (same)
                redrawn_[i].push_back(at);
        }
    }
}

void fine_writer::reduce_frame(fine_quantizer& quantizer, std::size_t i, int slot) {
    palettes_[i].count =
        quantizer.reduce(rgba_.get() + std::size_t(slot) * room_ * 4, steps_[i].rect.width,
                         steps_[i].rect.height, indices_.get(i), palettes_[i].colours);
}

void fine_writer::choose_shared_palette() {
    fine_quantizer& quantizer = *context_.lane(0).fine;
    quantizer.start_shared();
    for (std::size_t i = 0; i < frames_.count(); ++i) {
        take_input(i, 0);
        quantizer.add_shared(rgba_.get(), steps_[i].rect.width, steps_[i].rect.height);
    }
    fine_palette palette;
    palette.count = quantizer.choose_shared(palette.colours);
    std::fill(palettes_.begin(), palettes_.end(), palette);
}

void fine_writer::map_shared(std::size_t i) {
    take_input(i, 0);
    context_.lane(0).fine->map_shared(rgba_.get(), steps_[i].rect.width, steps_[i].rect.height,
                                      indices_.get(i));
}

// A frame whose indices were freed meanwhile is reduced again (it must be
// pinned); the reduction gives the same indices.
void fine_writer::keep(std::size_t i) {
    if (indices_.get(i) != nullptr)
        return;
    indices_.make(i, steps_[i].rect.area());
    if (shared_) {
        map_shared(i);
        return;
    }
    take_input(i, 0);
    reduce_frame(*context_.lane(0).fine, i, 0);
}

// ---- the global table -------------------------------------------------------

// The global table takes the colours of the frames in order while they fit;
// a frame whose colours are all there needs no table of its own.
void fine_writer::fill_global_table() {
    std::array<std::uint8_t, 768>& table = context_.global_table();
    uses_global_.assign(frames_.count(), 0);
    table.fill(0);
    for (std::size_t i = 0; i < frames_.count(); ++i) {
        int missing = 0;
        for (int e = 0; e < palettes_[i].count; ++e)
            missing += global_colours_.count(rgb_key(palettes_[i].colours + e * 3)) == 0;
        if (int(global_colours_.size()) + missing > most_colours_)
            continue;
        uses_global_[i] = 1;
        for (int e = 0; e < palettes_[i].count; ++e) {
            const std::uint8_t* colour = palettes_[i].colours + e * 3;
            auto [entry, added] =
                global_colours_.try_emplace(rgb_key(colour), std::uint8_t(global_colours_.size()));
            if (added)
                std::copy_n(colour, 3, table.data() + std::size_t(entry->second) * 3);
        }
    }
    // Fewer colours: the smallest table that holds them, and the transparent
    // entry if a frame that uses the table leaves a pixel undrawn.
    global_transparency_ = !fewer_;
    for (std::size_t i = 0; i < frames_.count(); ++i)
        global_transparency_ = global_transparency_ || (uses_global_[i] && undrawn_[i]);
    const int bits =
        fewer_ ? table_bits_for(int(global_colours_.size()) + (global_transparency_ ? 1 : 0))
               : full_table_bits;
    context_.open_animation(bits);
    if (settled_ != nullptr) {
        settled_->global_table = table;
        settled_->global_bits = bits;
    }
}

// ---- settling ---------------------------------------------------------------

// Settles frame i's table and indices, and draws it on the canvas.
void fine_writer::settle(std::size_t i, std::array<std::uint8_t, 768>& local_table) {
    keep_former_colours(i);
    std::uint8_t to_table[256];
    const std::uint8_t* table = choose_table(i, local_table, to_table);
    draw_on_canvas(i, to_table, table);
}

// A pixel drawn again takes the colour it was shown in, where the frame's
// palette holds it.
void fine_writer::keep_former_colours(std::size_t i) {
    const fine_palette& palette = palettes_[i];
    const frame_rect rect = steps_[i].rect;
    std::uint8_t* indices = indices_.get(i);
    std::unordered_map<std::uint32_t, std::uint8_t> own;
    for (int e = 0; e < palette.count; ++e)
        own.try_emplace(rgb_key(palette.colours + e * 3), std::uint8_t(e));
    const pixel* canvas = canvas_.get();
    for (std::uint32_t at : redrawn_[i]) {
        const std::size_t p = std::size_t(rect.top + int(at) / rect.width) * width_ +
                              std::size_t(rect.left + int(at) % rect.width);
        if (canvas[p] & transparent_flag)
            continue;
        if (auto found = own.find(canvas[p] & 0xFFFFFF); found != own.end())
            indices[at] = found->second;
    }
}

// Frame i's layout, with the global table or a local one of its own; fills
// to_table, from palette entries to the table's, and returns the table.
const std::uint8_t* fine_writer::choose_table(std::size_t i,
                                              std::array<std::uint8_t, 768>& local_table,
                                              std::uint8_t* to_table) {
    const fine_palette& palette = palettes_[i];
    frame_layout& layout = layouts_[i];
    layout.rect = steps_[i].rect;
    layout.disposal = steps_[i].disposal;
    const std::uint8_t* table;
    if (uses_global_[i]) {
        const int global_count = int(global_colours_.size());
        layout.transparency = global_transparency_;
        layout.transparent = global_transparency_ ? std::uint8_t(global_count) : 0;
        layout.code_size =
            std::max(2, table_bits_for(global_count + (global_transparency_ ? 1 : 0)));
        for (int e = 0; e < palette.count; ++e)
            to_table[e] = global_colours_.at(rgb_key(palette.colours + e * 3));
        table = context_.global_table().data();
    } else {
        // Fewer colours: a frame that draws every pixel of its rectangle
        // needs no transparent entry.
        layout.transparency = !fewer_ || undrawn_[i];
        const int bits = table_bits_for(palette.count + (layout.transparency ? 1 : 0));
        layout.transparent = layout.transparency ? std::uint8_t(palette.count) : 0;
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
    return table;
}

void fine_writer::draw_on_canvas(std::size_t i, const std::uint8_t* to_table,
                                 const std::uint8_t* table) {
    const frame_rect rect = steps_[i].rect, cleared = cleared_before(i);
    const int transparent = layouts_[i].transparency ? layouts_[i].transparent : -1;
    pixel* canvas = canvas_.get();
    for (int y = cleared.top; y < cleared.top + cleared.height; ++y)
        std::fill_n(canvas + std::size_t(y) * width_ + cleared.left, cleared.width,
                    transparent_flag);
    std::uint8_t* indices = indices_.get(i);
    std::size_t at = 0;
    for (int y = rect.top; y < rect.top + rect.height; ++y) {
        for (int x = rect.left; x < rect.left + rect.width; ++x, ++at) {
            const std::uint8_t index = to_table[indices[at]];
            indices[at] = index;
            if (int(index) != transparent)
                canvas[std::size_t(y) * width_ + x] = pixel(rgb_key(table + index * 3));
        }
    }
}

// ---- coding and writing -----------------------------------------------------

// The frames in order, two at a time: settled here, coded side by side,
// written here.
void fine_writer::settle_code_and_write() {
    canvas_ = allocate_array<pixel>(room_);
    std::fill_n(canvas_.get(), room_, transparent_flag);
    layouts_.assign(frames_.count(), frame_layout{});
    context_.threads().in_pairs(
        frames_.count(), [&](std::size_t first, std::size_t n) { settle_pair(first, n); },
        [&](std::size_t frame, int lane) { code(frame, lane); },
        [&](std::size_t frame, int lane) { write_frame(frame, lane); });
}

void fine_writer::settle_pair(std::size_t first, std::size_t n) {
    indices_.pin(first, n);
    for (std::size_t k = 0; k < n; ++k)
        keep(first + k);
    for (std::size_t k = 0; k < n; ++k) {
        settle(first + k, local_tables_[k]);
        keep_settled(first + k);
    }
}

void fine_writer::keep_settled(std::size_t i) {
    if (settled_ == nullptr)
        return;
    fine_settlement::frame& kept = settled_->frames[i];
    kept.layout = layouts_[i];
    if (kept.layout.local_bits != 0) {
        std::copy_n(layouts_[i].local_table, kept.local_table.size(), kept.local_table.data());
        kept.layout.local_table = kept.local_table.data();
    }
    const std::uint8_t* indices = indices_.get(i);
    kept.indices.assign(indices, indices + steps_[i].rect.area());
}

// Greedily (or lossily) and with lookahead; the shorter goes.
void fine_writer::code(std::size_t i, int lane) {
    coding_lane& tools = context_.lane(lane);
    const frame_layout& layout = layouts_[i];
    const int code_size = layout.code_size;
    const std::size_t area = steps_[i].rect.area();
    const std::uint8_t* indices = indices_.get(i);
    const lossy_frame lossy{layout.rect.width,
                            layout.local_bits != 0 ? layout.local_table
                                                   : context_.global_table().data(),
                            layout.transparency ? layout.transparent : -1, lossy_level_,
                            context_.options().kept.colours()};
    coded_[lane] = &tools.shortest(code_size, indices, area,
                                   tools.code_frame(code_size, indices, area, lossy));
    if (settled_ != nullptr)
        settled_->frames[i].lookahead = tools.coded_ahead.bytes();
}

void fine_writer::write_frame(std::size_t i, int lane) {
    context_.write_frame(i, frames_, layouts_[i], *coded_[lane]);
    indices_.drop(i);
    if (settled_ != nullptr && i + 1 == frames_.count())
        settled_->complete = true;
}

// ---- coding a settlement again ------------------------------------------------

void fine_writer::write_settled() {
    context_.global_table() = settled_->global_table;
    context_.open_animation(settled_->global_bits);
    context_.threads().in_pairs(
        frames_.count(), [](std::size_t, std::size_t) {},
        [&](std::size_t frame, int lane) { code_settled(frame, lane); },
        [&](std::size_t frame, int lane) {
            context_.write_frame(frame, frames_, settled_->frames[frame].layout, *coded_[lane]);
        });
}

// As code does, with the lookahead coder's stream as it was.
void fine_writer::code_settled(std::size_t i, int lane) {
    coding_lane& tools = context_.lane(lane);
    const fine_settlement::frame& kept = settled_->frames[i];
    const frame_layout& layout = kept.layout;
    const lossy_frame lossy{layout.rect.width,
                            layout.local_bits != 0 ? layout.local_table
                                                   : settled_->global_table.data(),
                            layout.transparency ? layout.transparent : -1, lossy_level_,
                            context_.options().kept.colours()};
    const memory_sink& primary =
        tools.code_frame(layout.code_size, kept.indices.data(), kept.indices.size(), lossy);
    if (kept.lookahead.size() < primary.byte_count()) {
        tools.coded_ahead.clear();
        tools.coded_ahead.write(kept.lookahead.data(), kept.lookahead.size());
        coded_[lane] = &tools.coded_ahead;
        return;
    }
    coded_[lane] = &primary;
}

} // namespace zoetra::gif_detail
