#include "gif/lzw_lookahead.hpp"

#include <algorithm>

namespace zoetra {

// The table is not cleared as a whole: a code's row is read only after an
// entry leads to it, so each row is cleared when its code is made (and the
// first-index rows when the table starts). A frame of a few pixels then
// touches a few rows, not all 2 MB.
lzw_lookahead_encoder::lzw_lookahead_encoder()
    : child_(std::make_unique_for_overwrite<std::uint16_t[]>(std::size_t(max_codes) * 256)) {}

void lzw_lookahead_encoder::clear_row(int code) {
    std::fill_n(child_.get() + std::size_t(code) * 256, 256, std::uint16_t(0));
}

std::size_t lzw_lookahead_encoder::longest(const std::uint8_t* indices, std::size_t at,
                                           std::size_t count, unsigned mask, int& code) const {
    code = int(indices[at] & mask);
    std::size_t length = 1;
    for (; at + length < count; ++length) {
        const std::uint16_t longer =
            child_[std::size_t(code) * 256 + (indices[at + length] & mask)];
        if (longer == 0)
            break;
        code = longer;
    }
    return length;
}

void lzw_lookahead_encoder::encode(int initial_bits, byte_sink& sink, const std::uint8_t* indices,
                                   std::size_t count) {
    initial_bits = std::clamp(initial_bits, 3, 9);
    const int clear_code = 1 << (initial_bits - 1);
    const int end_code = clear_code + 1;
    const unsigned mask = unsigned(clear_code - 1);
    int width = initial_bits;
    int limit = (1 << width) - 1;
    int next_code = clear_code + 2;

    packed_.clear();
    std::uint32_t pending = 0;
    int pending_bits = 0;
    auto put = [&](int code) {
        pending |= std::uint32_t(code) << pending_bits;
        for (pending_bits += width; pending_bits >= 8; pending_bits -= 8, pending >>= 8)
            packed_.push_back(std::uint8_t(pending & 0xFF));
    };
    // As in the greedy coder: the width grows right after the code that made
    // the next free code pass the current limit.
    auto widen = [&] {
        if (next_code > limit) {
            ++width;
            limit = width == max_bits ? max_codes : (1 << width) - 1;
        }
    };
    auto clear_table = [&] {
        for (int root = 0; root < clear_code; ++root)
            clear_row(root);
    };

    clear_table();
    put(clear_code);
    for (std::size_t at = 0; at < count;) {
        int code = 0;
        std::size_t length = longest(indices, at, count, mask, code);
        if (length > 1 && at + length < count) {
            int ignored = 0;
            std::size_t chosen = length;
            std::size_t reach = length + longest(indices, at + length, count, mask, ignored);
            for (std::size_t k = length - 1; k >= 1 && k + most_tried > length; --k) {
                const std::size_t further = k + longest(indices, at + k, count, mask, ignored);
                if (further > reach) {
                    reach = further;
                    chosen = k;
                }
            }
            if (chosen != length) {
                code = int(indices[at] & mask);
                for (std::size_t n = 1; n < chosen; ++n)
                    code = child_[std::size_t(code) * 256 + (indices[at + n] & mask)];
                length = chosen;
            }
        }
        put(code);
        widen();
        at += length;
        if (at >= count)
            break;
        if (next_code < max_codes) {
            std::uint16_t& entry = child_[std::size_t(code) * 256 + (indices[at] & mask)];
            if (entry == 0) {
                entry = std::uint16_t(next_code);
                clear_row(next_code);
            }
            ++next_code;
        } else {
            clear_table();
            next_code = clear_code + 2;
            put(clear_code);
            width = initial_bits;
            limit = (1 << width) - 1;
        }
    }
    put(end_code);
    if (pending_bits > 0)
        packed_.push_back(std::uint8_t(pending & 0xFF));

    constexpr std::size_t block_bytes = 255;
    for (std::size_t at = 0; at < packed_.size(); at += block_bytes) {
        const std::size_t n = std::min(block_bytes, packed_.size() - at);
        sink.put(std::uint8_t(n));
        sink.write(packed_.data() + at, n);
    }
}

} // namespace zoetra
