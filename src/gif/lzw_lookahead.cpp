#include "gif/lzw_lookahead.hpp"

#include <algorithm>

namespace zoetra {
namespace {

// The most lengths tried for one string.
constexpr std::size_t most_tried = 16;

// The indices to code, read through the string table: per code and next
// index, the code of the longer string, 0 for none.
struct string_finder {
    const std::uint16_t* child;
    const std::uint8_t* indices;
    std::size_t count;
    unsigned mask;

    // The length of the longest string from indices[at] that the table
    // holds, and its code.
    std::size_t longest(std::size_t at, int& code) const {
        code = int(indices[at] & mask);
        std::size_t length = 1;
        for (; at + length < count; ++length) {
            const std::uint16_t longer =
                child[std::size_t(code) * 256 + (indices[at + length] & mask)];
            if (longer == 0)
                break;
            code = longer;
        }
        return length;
    }

    // The string to send from indices[at]: its length, and its code. Of the
    // lengths k = L, L-1, ... (at most most_tried of them) of the longest
    // match L, the one whose next longest match reaches furthest; the
    // longest on a tie.
    std::size_t choose(std::size_t at, int& code) const {
        std::size_t length = longest(at, code);
        if (length <= 1 || at + length >= count)
            return length;
        int ignored = 0;
        std::size_t chosen = length;
        std::size_t reach = length + longest(at + length, ignored);
        for (std::size_t k = length - 1; k >= 1 && k + most_tried > length; --k) {
            const std::size_t further = k + longest(at + k, ignored);
            if (further > reach) {
                reach = further;
                chosen = k;
            }
        }
        if (chosen != length) {
            code = int(indices[at] & mask);
            for (std::size_t n = 1; n < chosen; ++n)
                code = child[std::size_t(code) * 256 + (indices[at + n] & mask)];
        }
        return chosen;
    }
};

} // namespace

// The table is not cleared as a whole: a code's row is read only after an
// entry leads to it, so each row is cleared when its code is made (and the
// first-index rows when the table starts). A frame of a few pixels then
// touches a few rows, not all 2 MB.
lzw_lookahead_encoder::lzw_lookahead_encoder()
    : child_(std::make_unique_for_overwrite<std::uint16_t[]>(std::size_t(max_codes) * 256)) {}

void lzw_lookahead_encoder::clear_row(int code) {
    std::fill_n(child_.get() + std::size_t(code) * 256, 256, std::uint16_t(0));
}

void lzw_lookahead_encoder::encode(int initial_bits, byte_sink& sink, const std::uint8_t* indices,
                                   std::size_t count) {
    initial_bits = std::clamp(initial_bits, 3, 9);
    const int clear_code = 1 << (initial_bits - 1);
    const int end_code = clear_code + 1;
    const unsigned mask = unsigned(clear_code - 1);
    int next_code = clear_code + 2;
    // Room for every code: one per index at most, a clear code per 4,000
    // or so, the first and the last, of 12 bits at most; and the packer's
    // eight spare bytes.
    const std::size_t most_codes = count + count / 1024 + 4;
    if (packed_.size() < most_codes * 3 / 2 + 16)
        packed_.resize(most_codes * 3 / 2 + 16);
    lzw_packer out(packed_.data(), initial_bits);
    const string_finder strings{child_.get(), indices, count, mask};
    auto clear_table = [&] {
        for (int root = 0; root < clear_code; ++root)
            clear_row(root);
    };

    clear_table();
    out.put(clear_code);
    for (std::size_t at = 0; at < count;) {
        int code = 0;
        const std::size_t length = strings.choose(at, code);
        out.put(code);
        out.widen(next_code);
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
            out.put(clear_code);
            out.narrow();
        }
    }
    out.put(end_code);
    write_blocks(sink, out.finish());
}

// The data in sub-blocks of 255 bytes, each preceded by its length.
void lzw_lookahead_encoder::write_blocks(byte_sink& sink, std::size_t length) const {
    constexpr std::size_t block_bytes = 255;
    for (std::size_t at = 0; at < length; at += block_bytes) {
        const std::size_t n = std::min(block_bytes, length - at);
        sink.put(std::uint8_t(n));
        sink.write(packed_.data() + at, n);
    }
}

} // namespace zoetra
