#include "gif/lzw_decoder.hpp"

#include <algorithm>
#include <cstring>
#include <memory>

namespace zoetra {
namespace {

constexpr std::size_t load_padding = 8;
// How far past a string the block copies may write.
constexpr std::size_t copy_overshoot = 16;

// Copies a string that already lies earlier in the output. The distance from
// source to target is at least the length, so the bytes it needs are never
// overwritten; whole 8- or 16-byte blocks are moved, each read before it is
// written, and what they write past the end is overwritten by later strings.
// The caller leaves 16 bytes of room past the end.
inline void copy_earlier_string(std::uint8_t* target, const std::uint8_t* source,
                                std::size_t length) {
    if (length <= 8) {
        std::uint64_t block;
        std::memcpy(&block, source, 8);
        std::memcpy(target, &block, 8);
        return;
    }
    std::uint8_t* end = target + length;
    do {
        std::uint64_t block[2];
        std::memcpy(block, source, 16);
        std::memcpy(target, block, 16);
        target += 16;
        source += 16;
    } while (target < end);
}

// Where the first stored row of each interlace pass belongs, and its step.
struct interlace_pass {
    std::uint16_t first_row;
    std::uint16_t step;
};
constexpr interlace_pass interlace_passes[4] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};

std::size_t rows_in_pass(const interlace_pass& pass, std::size_t height) {
    return height > pass.first_row ? (height - pass.first_row + pass.step - 1) / pass.step : 0;
}

// The stored position of row (the inverse of interlaced_row).
std::size_t stored_position(std::size_t row, std::size_t height) {
    std::size_t before = 0;
    for (const interlace_pass& pass : interlace_passes) {
        if (row % pass.step == pass.first_row)
            return before + row / pass.step;
        before += rows_in_pass(pass, height);
    }
    return row; // not reached: every row belongs to one pass
}

// Moves rows stored in interlace order to their places, one permutation
// cycle at a time, with line as the one spare row.
void put_interlaced_rows_in_place(std::uint8_t* indices, std::size_t width, std::size_t height,
                                  std::uint8_t* line) {
    auto done = allocate_zeroed_array<std::uint8_t>(height);
    for (std::size_t cycle_start = 0; cycle_start < height; ++cycle_start) {
        if (done.get()[cycle_start] != 0)
            continue;
        std::memcpy(line, indices + cycle_start * width, width);
        std::size_t row = cycle_start;
        for (;;) {
            done.get()[row] = 1;
            std::size_t source = stored_position(row, height);
            if (source == cycle_start) {
                std::memcpy(indices + row * width, line, width);
                break;
            }
            std::memcpy(indices + row * width, indices + source * width, width);
            row = source;
        }
    }
}

// The same when only the first stored rows were reached: those rows move
// out of the way and then to their places; the rest of the buffer is left
// alone, so the work follows the data, not the image size.
void put_reached_interlaced_rows(std::uint8_t* indices, std::size_t width, std::size_t height,
                                 std::size_t reached_rows) {
    const std::size_t bytes = reached_rows * width;
    auto reached = allocate_array<std::uint8_t>(bytes);
    std::memcpy(reached.get(), indices, bytes);
    std::memset(indices, 0, bytes);
    for (std::size_t n = 0; n < reached_rows; ++n)
        std::memcpy(indices + std::size_t(interlaced_row(std::uint16_t(n), std::uint16_t(height))) *
                                  width,
                    reached.get() + n * width, width);
}

} // namespace

std::uint16_t interlaced_row(std::uint16_t n, std::uint16_t height) {
    std::size_t remaining = n;
    for (const interlace_pass& pass : interlace_passes) {
        std::size_t rows = rows_in_pass(pass, height);
        if (remaining < rows)
            return std::uint16_t(pass.first_row + remaining * pass.step);
        remaining -= rows;
    }
    return n;
}

lzw_status lzw_decoder::decode(byte_stream& stream, bool interlaced, std::uint16_t width,
                               std::uint16_t height, std::uint8_t* indices, std::uint8_t* line) {
    last_image_complete_ = false;
    int code_size = stream.read_byte();
    if (code_size < 0)
        return lzw_status::end_of_file;
    if (code_size < 2 || code_size > 9)
        return lzw_status::bad_code_size;
    code_data data = gather_sub_blocks(stream);
    std::size_t total = std::size_t(width) * height;
    expansion result = expand(data, code_size, indices, total);
    last_image_complete_ = result.produced >= total;

    // Data that stops in the middle of a row loses that row; an end code
    // keeps it. The block copies may have written a little past the last
    // string: that is cleared too, and everything further is left as given.
    std::size_t kept = result.produced;
    if (!result.finished && width != 0)
        kept -= kept % width;
    const std::size_t written = std::min(total, result.produced + copy_overshoot);
    std::memset(indices + kept, 0, written - kept);
    if (interlaced && width != 0 && height > 2) { // rows 0 and 1 are stored in place
        const std::size_t reached_rows = (kept + width - 1) / width;
        if (reached_rows == height)
            put_interlaced_rows_in_place(indices, width, height, line);
        else
            put_reached_interlaced_rows(indices, width, height, reached_rows);
    }
    return lzw_status::decoded;
}

lzw_decoder::code_data lzw_decoder::gather_sub_blocks(byte_stream& stream) {
    // Each sub-block is a size byte and that many bytes; an empty one ends
    // the image. A file that ends inside a sub-block gives what it has.
    const std::uint8_t* bytes = stream.cursor();
    std::size_t available = stream.remaining();
    std::size_t at = 0;
    std::size_t joined_size = 0;
    while (at < available) {
        std::size_t size = bytes[at++];
        if (size == 0)
            break;
        std::size_t taken = std::min(size, available - at);
        joined_size += taken;
        at += taken;
    }
    if (joined_capacity_ < joined_size + load_padding) {
        joined_capacity_ = std::max(joined_size + load_padding, std::size_t(4096));
        joined_ = allocate_array<std::uint8_t>(joined_capacity_);
    }
    std::uint8_t* target = joined_.get();
    for (std::size_t from = 0, left = joined_size; left != 0;) {
        std::size_t taken = std::min<std::size_t>(bytes[from], left);
        std::memcpy(target, bytes + from + 1, taken);
        target += taken;
        left -= taken;
        from += 1 + taken;
    }
    std::memset(target, 0, load_padding);
    stream.skip(at);
    return code_data{joined_.get(), std::uint64_t(joined_size) * 8};
}

std::size_t lzw_decoder::emit_by_walking(int code, int first_free, int reserved, std::uint8_t* out,
                                         std::size_t position, std::size_t total) {
    int depth = reserved;
    while (code >= first_free) {
        if (depth == table_size)
            return 0;
        stack_[depth++] = suffix_[code];
        code = prefix_[code];
    }
    if (depth == table_size)
        return 0;
    stack_[depth++] = std::uint8_t(code); // a root code is its own index
    std::size_t length = std::size_t(depth - reserved);
    std::size_t room = std::min(length, total - position);
    for (std::size_t i = 0; i < room; ++i)
        out[position + i] = stack_[depth - 1 - int(i)];
    return length;
}

struct lzw_decoder::decoding_state {
    code_data data;
    std::uint64_t bit_position = 0;
    int code_size;
    int clear_code;
    int end_code;
    int first_free;
    int code_width = 0;
    std::uint32_t code_mask = 0;
    int next_free = 0;
    int width_limit = 0;
    // The previous code and the first index of its string; both 0 before
    // the first code.
    int old_code = 0;
    std::uint8_t first_index = 0;
    std::size_t position = 0;

    explicit decoding_state(code_data codes, int size)
        : data(codes), code_size(size), clear_code(1 << size), end_code(clear_code + 1),
          first_free(clear_code + 2) {
        reset_table();
    }
    void reset_table() {
        code_width = code_size + 1;
        code_mask = (1u << code_width) - 1;
        next_free = first_free;
        width_limit = 1 << code_width;
    }
    // The next code, or -1 when the data has no whole code left.
    int read_code() {
        if (bit_position + std::uint64_t(code_width) > data.bit_count)
            return -1;
        std::uint64_t word;
        std::memcpy(&word, data.bytes + (bit_position >> 3), 8);
        int code = int((word >> (bit_position & 7)) & code_mask);
        bit_position += std::uint64_t(code_width);
        return code;
    }
    // After a clear code: the table starts over, and the first code that
    // is not another clear code begins the output (as root 0 when it is
    // beyond the fresh table). Returns that code, the end code, or -1 when
    // the data has no whole code left.
    int restart() {
        reset_table();
        int first;
        do {
            first = read_code();
        } while (first == clear_code);
        if (first >= 0 && first != end_code) {
            if (first >= next_free)
                first = 0;
            old_code = first;
            first_index = std::uint8_t(first);
        }
        return first;
    }
    // After an entry was added: a full width limit widens the code, up to 12 bits.
    void widen_if_due() {
        if (next_free == width_limit && code_width < max_code_width) {
            ++code_width;
            width_limit <<= 1;
            code_mask = std::uint32_t(width_limit - 1);
        }
    }
};

namespace {

constexpr int span_length_shift = 32;
constexpr int span_first_shift = 48;

std::uint64_t make_span(std::size_t start, std::size_t length, std::uint8_t first) {
    return std::uint64_t(start) | (std::uint64_t(length) << span_length_shift) |
           (std::uint64_t(first) << span_first_shift);
}

} // namespace

// After a string: the table's next entry is the previous string plus this
// one's first index, found where the previous string lies; this string
// becomes the previous one.
inline void lzw_decoder::add_entry(decoding_state& state, int code, std::uint8_t root,
                                   std::size_t start, std::size_t length,
                                   std::size_t& previous_start, std::size_t& previous_length) {
    if (state.next_free >= state.width_limit) {
        // A full table takes no entries until the next clear code.
        previous_length = 0;
        return;
    }
    const int entry = state.next_free;
    prefix_[entry] = std::uint16_t(state.old_code);
    suffix_[entry] = root;
    span_[entry] = previous_length == 0
                       ? make_span(0, 0, state.first_index)
                       : make_span(previous_start, previous_length + 1, state.first_index);
    previous_start = start;
    previous_length = length;
    state.next_free = entry + 1;
    state.old_code = code;
    state.first_index = root;
    state.widen_if_due();
}

lzw_decoder::expansion lzw_decoder::expand(code_data data, int code_size, std::uint8_t* out,
                                           std::size_t total) {
    decoding_state state(data, code_size);
    std::fill(prefix_, prefix_ + table_size, std::uint16_t(0));
    std::fill(suffix_, suffix_ + table_size, std::uint8_t(0));

    // Where the previous output lies; its length is 0 when it is not the
    // string of old_code (before the first code, and while the table is
    // full), and the next entry then gets no span.
    std::size_t previous_start = 0;
    std::size_t previous_length = 0;

    const int clear_code = state.clear_code;
    const int first_free = state.first_free;
    std::size_t position = 0;
    for (;;) {
        if (position >= total)
            return {position, true};
        const int code = state.read_code();
        const std::size_t start = position;
        const std::size_t room = total - position;
        std::size_t length;
        std::uint8_t root;
        if (code < clear_code) {
            if (code < 0)
                return {position, false};
            out[position] = root = std::uint8_t(code);
            length = 1;
        } else if (code >= first_free && code < state.next_free) {
            const std::uint64_t span = span_[code];
            length = std::uint16_t(span >> span_length_shift);
            root = std::uint8_t(span >> span_first_shift);
            if (length == 0) {
                // The one entry made before any output (no clear code first).
                length = emit_by_walking(code, first_free, 0, out, position, total);
            } else if (room >= length + copy_overshoot) {
                copy_earlier_string(out + position, out + std::uint32_t(span), length);
            } else {
                std::memmove(out + position, out + std::uint32_t(span), std::min(length, room));
            }
        } else if (code == state.next_free) {
            // Not yet in the table: the previous string plus its own first index.
            root = state.first_index;
            if (previous_length == 0) {
                length = emit_by_walking(state.old_code, first_free, 1, out, position, total);
            } else {
                length = previous_length;
                if (room >= length + copy_overshoot)
                    copy_earlier_string(out + position, out + previous_start, length);
                else
                    std::memmove(out + position, out + previous_start, std::min(length, room));
            }
            if (length < room)
                out[position + length] = root;
            ++length;
        } else if (code == clear_code) {
            const int first = state.restart();
            if (first < 0 || first == state.end_code)
                return {position, first >= 0};
            out[position] = std::uint8_t(first);
            previous_start = position++;
            previous_length = 1;
            continue;
        } else if (code == state.end_code) {
            return {position, true};
        } else {
            // A code beyond the table: prefixes may now name entries that do
            // not exist yet, which only the classic tables follow.
            state.position = position;
            return expand_by_walking(state, code, out, total);
        }
        position += std::min(length, room);

        add_entry(state, code, root, start, length, previous_start, previous_length);
    }
}

lzw_decoder::expansion lzw_decoder::expand_by_walking(decoding_state& state, int pending_code,
                                                      std::uint8_t* out, std::size_t total) {
    // Every step as the classic decoder takes it: strings come from walking
    // the prefix chains, codes not below the next free code stand for the
    // previous string plus its first index.
    std::size_t position = state.position;
    int code = pending_code;
    for (;;) {
        if (code < 0)
            return {position, false};
        if (code == state.end_code)
            return {position, true};
        if (code == state.clear_code) {
            code = state.restart();
            if (code < 0 || code == state.end_code)
                return {position, code >= 0};
            out[position++] = std::uint8_t(code);
        } else {
            std::size_t length;
            if (code < state.next_free) {
                length = emit_by_walking(code, state.first_free, 0, out, position, total);
            } else {
                length = emit_by_walking(state.old_code, state.first_free, 1, out, position, total);
                if (length != 0) {
                    if (position + length < total)
                        out[position + length] = state.first_index;
                    ++length;
                }
            }
            if (length == 0)
                return {position, false}; // a cycle of stale entries: corrupt data
            const std::uint8_t root = out[position];
            position += std::min(length, total - position);
            if (state.next_free < state.width_limit) {
                prefix_[state.next_free] = std::uint16_t(state.old_code);
                suffix_[state.next_free] = root;
                ++state.next_free;
                state.old_code = code;
                state.first_index = root;
                state.widen_if_due();
            }
        }
        if (position >= total)
            return {position, true};
        code = state.read_code();
    }
}

lzw_status decode_lzw(bool interlaced, std::uint16_t height, std::uint16_t width,
                      byte_stream& stream, std::uint8_t* index_buffer, std::uint8_t* line_buffer) {
    auto decoder = std::make_unique<lzw_decoder>();
    return decoder->decode(stream, interlaced, width, height, index_buffer, line_buffer);
}

} // namespace zoetra
