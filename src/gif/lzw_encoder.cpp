#include "gif/lzw_encoder.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zoetra {

void lzw_encoder::encode(int initial_bits, byte_sink& sink, const std::uint8_t* indices,
                         std::size_t count) {
    initial_bits = std::clamp(initial_bits, 3, 9);
    const int clear_code = 1 << (initial_bits - 1);
    const int end_code = clear_code + 1;
    const unsigned index_mask = unsigned(clear_code - 1);
    int width = initial_bits;
    int limit = (1 << width) - 1;
    int next_code = clear_code + 2;

    // Codes are packed least significant bit first: pending holds the bits
    // not yet making a whole byte, and every code stores the next eight
    // bytes at once, keeping only the whole ones.
    std::uint64_t pending = 0;
    int pending_bits = 0;
    std::size_t length = 0;
    std::uint8_t* const staging = staging_;
    auto put = [&](int code) {
        pending |= std::uint64_t(code) << pending_bits;
        pending_bits += width;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(staging + length, &pending, sizeof pending);
        } else {
            for (std::size_t k = 0; k < sizeof pending; ++k)
                staging[length + k] = static_cast<std::uint8_t>(pending >> (8 * k));
        }
        length += std::size_t(pending_bits >> 3);
        pending >>= pending_bits & ~7;
        pending_bits &= 7;
        if (length >= (staging_blocks - 1) * block_bytes)
            length = flush_blocks(sink, length, false);
    };
    // The width grows right after the code that makes the next free code pass
    // the current limit (at 12 bits the limit is 4096, never passed).
    auto widen = [&] {
        if (next_code > limit) {
            ++width;
            limit = width == max_bits ? max_codes : (1 << width) - 1;
        }
    };

    clear_table();
    put(clear_code);
    if (count > 0) {
        const std::int32_t* const keys = keys_;
        const std::uint16_t* const codes = codes_;
        int prefix = int(indices[0] & index_mask);
        for (std::size_t i = 1; i < count; ++i) {
            const int next = int(indices[i] & index_mask);
            const std::int32_t key = (next << max_bits) + prefix;
            int slot = (next << 4) ^ prefix;
            if (keys[slot] != key && keys[slot] >= 0)
                slot = find_slot(key, slot);
            if (keys[slot] == key) {
                prefix = codes[slot];
                continue;
            }
            put(prefix);
            widen();
            prefix = next;
            if (next_code < max_codes) {
                keys_[slot] = key;
                codes_[slot] = static_cast<std::uint16_t>(next_code++);
            } else {
                // Code 4095 is taken: start a fresh table at the narrowest width.
                clear_table();
                next_code = clear_code + 2;
                put(clear_code);
                width = initial_bits;
                limit = (1 << width) - 1;
            }
        }
        put(prefix);
        widen();
    }
    put(end_code);
    if (pending_bits > 0)
        staging[length++] = static_cast<std::uint8_t>(pending);
    flush_blocks(sink, length, true);
}

void lzw_encoder::clear_table() {
    std::memset(keys_, 0xFF, sizeof keys_);
}

// Secondary probing steps backwards by table_size - slot, wrapping round.
int lzw_encoder::find_slot(std::int32_t key, int slot) const {
    if (keys_[slot] == key || keys_[slot] < 0)
        return slot;
    const int step = slot == 0 ? 1 : table_size - slot;
    for (;;) {
        slot -= step;
        if (slot < 0)
            slot += table_size;
        if (keys_[slot] == key || keys_[slot] < 0)
            return slot;
    }
}

std::size_t lzw_encoder::flush_blocks(byte_sink& sink, std::size_t length, bool everything) {
    std::size_t at = 0;
    while (length - at >= std::size_t(block_bytes) || (everything && at < length)) {
        const std::size_t n = std::min<std::size_t>(block_bytes, length - at);
        block_[0] = static_cast<std::uint8_t>(n);
        std::memcpy(block_ + 1, staging_ + at, n);
        sink.write(block_, n + 1);
        at += n;
    }
    // The partial block moves to the front.
    std::memmove(staging_, staging_ + at, length - at);
    return length - at;
}

namespace {
lzw_encoder& shared_encoder() {
    // One writer at a time, on the window's thread.
    static lzw_encoder encoder;
    return encoder;
}
} // namespace

void lzw_encode(int initial_bits, byte_sink& sink, const std::uint8_t* indices, std::size_t count) {
    shared_encoder().encode(initial_bits, sink, indices, count);
}

std::uint64_t lzw_encoded_size(int initial_bits, const std::uint8_t* indices, std::size_t count) {
    counting_sink counter;
    shared_encoder().encode(initial_bits, counter, indices, count);
    return counter.byte_count();
}

} // namespace zoetra
