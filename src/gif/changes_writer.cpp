#include "gif/changes_writer.hpp"

#include <algorithm>
#include <iterator>
#include <utility>

namespace zoetra::gif_detail {

changes_writer::changes_writer(writer_context& context, const animation_frames& frames)
    : context_(context), frames_(frames), colours_(context, frames, true),
      width_(frames.size.width), pixel_count_(frames.pixel_count()),
      planner_(frames.size.width, frames.size.height) {}

void changes_writer::write() {
    colours_.reduce_frames();
    colours_.choose_global_table();
    context_.open_animation(colours_.table_bits());
    transparent_ = colours_.transparent();
    lossy_level_ = context_.lossy_level();
    const std::size_t frame_count = frames_.count();
    if (frame_count == 0)
        return;
    context_.lane(0).need(coding_lane::lookahead_coding);
    make_room();
    take_picture(0, next_);
    for (std::size_t p = 0; p < pixel_count_; ++p)
        first_opaque_[p] = next_[p] != transparent_;
    for (std::size_t i = 0; i < frame_count; ++i) {
        advance(i);
        const frame_step step = plan(i);
        form chosen = shortest_form(step, cut(step.rect));
        try_local_table(chosen);
        coding_lane& lane = context_.lane(0);
        const memory_sink& data = lane.shortest(chosen.layout.code_size, chosen.pixels,
                                                chosen.layout.rect.area(), *chosen.data);
        context_.write_frame(i, frames_, chosen.layout, data);
        planner_.drawn(chosen.layout.rect, step.disposal);
    }
}

void changes_writer::make_room() {
    std::uint8_t** parts[] = {&previous_,     &current_,     &next_,        &first_opaque_,
                              &opaque_,       &next_opaque_, &same_,        &need_,
                              &changes_only_, &whole_rect_,  &local_pixels_};
    const std::size_t room = std::max<std::size_t>(pixel_count_, 1);
    block_ = allocate_zeroed_array<std::uint8_t>(room * std::size(parts));
    for (std::size_t k = 0; k < std::size(parts); ++k)
        *parts[k] = block_.get() + k * room;
}

// Each frame's picture in global indices, once and in order.
void changes_writer::take_picture(std::size_t i, std::uint8_t* picture) {
    kept_indices& kept = colours_.indices();
    kept.pin(i, 1);
    colours_.keep(i);
    std::copy_n(colours_.to_global(i), pixel_count_, picture);
    kept.drop(i);
}

void changes_writer::advance(std::size_t i) {
    std::swap(previous_, current_);
    std::swap(current_, next_);
    if (i + 1 < frames_.count())
        take_picture(i + 1, next_);
}

frame_step changes_writer::plan(std::size_t i) {
    const bool last = i + 1 == frames_.count();
    for (std::size_t p = 0; p < pixel_count_; ++p) {
        opaque_[p] = current_[p] != transparent_;
        next_opaque_[p] = last ? first_opaque_[p] : next_[p] != transparent_;
        same_[p] = i > 0 && current_[p] == previous_[p];
    }
    return planner_.plan(opaque_, same_, next_opaque_, need_);
}

bool changes_writer::cut(const frame_rect& rect) {
    bool colours_stayed = false;
    std::uint8_t* changes = changes_only_;
    std::uint8_t* in_rect = whole_rect_;
    for (int y = 0; y < rect.height; ++y) {
        const std::size_t row = std::size_t(rect.top + y) * width_ + rect.left;
        for (int x = 0; x < rect.width; ++x) {
            const std::uint8_t index = current_[row + x];
            *in_rect++ = index;
            *changes++ = need_[row + x] ? index : transparent_;
            colours_stayed = colours_stayed || (!need_[row + x] && index != transparent_);
        }
    }
    return colours_stayed;
}

// The smallest of the three forms; on a tie, the first.
changes_writer::form changes_writer::shortest_form(const frame_step& step, bool colours_stayed) {
    const frame_rect rect = step.rect;
    const bool whole_frame_differs = rect != planner_.screen();
    const int code_size = colours_.code_size();
    const lossy_frame in_rect = lossy(rect.width, context_.global_table().data(), transparent_);
    context_.threads().run(
        [&] {
            context_.lane(0).code_into(changes_data_, code_size, changes_only_, rect.area(),
                                       in_rect);
        },
        [&] {
            coding_lane& lane = context_.lane(1);
            rect_data_.clear();
            frame_data_.clear();
            if (colours_stayed)
                lane.code_into(rect_data_, code_size, whole_rect_, rect.area(), in_rect);
            if (whole_frame_differs)
                lane.code_into(frame_data_, code_size, current_, pixel_count_,
                               lossy(width_, in_rect.table, transparent_));
        });
    form chosen{changes_only_, &changes_data_,
                frame_layout{rect, step.disposal, true, transparent_, code_size}};
    if (colours_stayed && rect_data_.byte_count() < chosen.data->byte_count()) {
        chosen.pixels = whole_rect_;
        chosen.data = &rect_data_;
    }
    if (whole_frame_differs && frame_data_.byte_count() < chosen.data->byte_count()) {
        chosen.pixels = current_;
        chosen.data = &frame_data_;
        chosen.layout.rect = planner_.screen();
    }
    return chosen;
}

void changes_writer::try_local_table(form& chosen) {
    const std::size_t area = chosen.layout.rect.area();
    bool used[256] = {};
    int used_count = 0;
    for (std::size_t p = 0; p < area; ++p) {
        const std::uint8_t index = chosen.pixels[p];
        used_count += !used[index] && index != transparent_;
        used[index] = true;
    }
    // The colours and the transparent entry.
    const int bits = table_bits_for(used_count + 1);
    if (bits >= colours_.table_bits())
        return;
    std::uint8_t to_local[256];
    local_table_.fill(0);
    int n = 0;
    for (int index = 0; index < 256; ++index) {
        if (!used[index] || index == transparent_)
            continue;
        std::copy_n(context_.global_table().data() + index * 3, 3, local_table_.data() + n * 3);
        to_local[index] = std::uint8_t(n++);
    }
    to_local[transparent_] = std::uint8_t(n);
    for (std::size_t p = 0; p < area; ++p)
        local_pixels_[p] = to_local[chosen.pixels[p]];
    const int code_size = std::max(2, bits);
    context_.lane(0).code_into(local_data_, code_size, local_pixels_, area,
                               lossy(chosen.layout.rect.width, local_table_.data(), n));
    if (local_data_.byte_count() + (std::size_t(3) << bits) < chosen.data->byte_count()) {
        chosen.pixels = local_pixels_;
        chosen.data = &local_data_;
        chosen.layout = {
            chosen.layout.rect, chosen.layout.disposal, true, std::uint8_t(n), code_size, bits,
            local_table_.data()};
    }
}

} // namespace zoetra::gif_detail
