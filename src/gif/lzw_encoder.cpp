#include "gif/lzw_encoder.hpp"

#include <algorithm>
#include <cstring>

namespace zoetra {

std::uint32_t lzw_encoder::find(std::uint32_t key, std::uint32_t& slot) const {
    slot = (key * 0x9E3779B1u) >> (32 - table_bits);
    std::uint32_t entry = entries_[slot];
    while (entry != free_slot && entry >> max_bits != key) {
        slot = (slot + 1) & (table_size - 1);
        entry = entries_[slot];
    }
    return entry;
}

void lzw_encoder::encode(int initial_bits, byte_sink& sink, const std::uint8_t* indices,
                         std::size_t count) {
    initial_bits = std::clamp(initial_bits, 3, 9);
    const int clear_code = 1 << (initial_bits - 1);
    const int end_code = clear_code + 1;
    const unsigned index_mask = unsigned(clear_code - 1);
    int next_code = clear_code + 2;
    lzw_packer out(staging_, initial_bits);
    // Coded bytes leave in blocks once there are enough.
    auto put = [&](int code) {
        out.put(code);
        if (out.length() >= (staging_blocks - 1) * block_bytes)
            out.keep_last(flush_blocks(sink, out.length(), false));
    };

    clear_table();
    put(clear_code);
    if (count > 0) {
        std::uint32_t prefix = indices[0] & index_mask;
        for (std::size_t i = 1; i < count; ++i) {
            const std::uint32_t next = indices[i] & index_mask;
            // The children of prefix met last: runs and repeated patterns
            // find their string here without hashing.
            const std::uint32_t recent = recent_[prefix];
            if (recent >> max_bits == next) {
                prefix = recent & (max_codes - 1);
                continue;
            }
            const std::uint32_t earlier = earlier_[prefix];
            if (earlier >> max_bits == next) {
                earlier_[prefix] = recent;
                recent_[prefix] = earlier;
                prefix = earlier & (max_codes - 1);
                continue;
            }
            const std::uint32_t key = (next << max_bits) + prefix;
            std::uint32_t slot;
            const std::uint32_t entry = find(key, slot);
            if (entry != free_slot) {
                earlier_[key & (max_codes - 1)] = recent;
                prefix = entry & (max_codes - 1);
                recent_[key & (max_codes - 1)] = next << max_bits | prefix;
                continue;
            }
            put(int(prefix));
            out.widen(next_code);
            if (next_code < max_codes) {
                entries_[slot] = key << max_bits | std::uint32_t(next_code);
                earlier_[prefix] = recent;
                recent_[prefix] = next << max_bits | std::uint32_t(next_code++);
                prefix = next;
            } else {
                // Code 4095 is taken: start a fresh table at the narrowest width.
                prefix = next;
                clear_table();
                next_code = clear_code + 2;
                put(clear_code);
                out.narrow();
            }
        }
        put(int(prefix));
        out.widen(next_code);
    }
    put(end_code);
    flush_blocks(sink, out.finish(), true);
}

void lzw_encoder::clear_table() {
    std::memset(entries_, 0xFF, sizeof entries_);
    std::memset(recent_, 0xFF, sizeof recent_);
    std::memset(earlier_, 0xFF, sizeof earlier_);
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
