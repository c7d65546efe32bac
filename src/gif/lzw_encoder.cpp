#include "gif/lzw_encoder.hpp"

#include <algorithm>
#include <cstring>

namespace zoetra {

void lzw_encoder::encode(int initial_bits, byte_sink& sink, const std::uint8_t* indices,
                         std::size_t count) {
    initial_bits_ = std::clamp(initial_bits, 3, 9);
    sink_ = &sink;
    width_ = initial_bits_;
    limit_ = (1 << width_) - 1;
    clear_code_ = 1 << (initial_bits_ - 1);
    next_code_ = clear_code_ + 2;
    reset_width_ = false;
    bits_ = 0;
    bit_count_ = 0;
    block_length_ = 0;
    const int end_code = clear_code_ + 1;
    const unsigned index_mask = unsigned(clear_code_ - 1);

    clear_table();
    output(clear_code_);
    if (count > 0) {
        int prefix = int(indices[0] & index_mask);
        for (std::size_t i = 1; i < count; ++i) {
            const int next = int(indices[i] & index_mask);
            const std::int32_t key = (next << max_bits) + prefix;
            const int slot = find_slot(key, (next << 4) ^ prefix);
            if (keys_[slot] == key) {
                prefix = codes_[slot];
                continue;
            }
            output(prefix);
            prefix = next;
            if (next_code_ < max_codes) {
                keys_[slot] = key;
                codes_[slot] = static_cast<std::uint16_t>(next_code_++);
            } else {
                // Code 4095 is taken: start a fresh table at the narrowest width.
                clear_table();
                next_code_ = clear_code_ + 2;
                reset_width_ = true;
                output(clear_code_);
            }
        }
        output(prefix);
    }
    output(end_code);
    flush_bits();
    flush_block();
    sink_ = nullptr;
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

void lzw_encoder::output(int code) {
    bits_ |= std::uint64_t(code) << bit_count_;
    bit_count_ += width_;
    while (bit_count_ >= 8) {
        block_[1 + block_length_++] = static_cast<std::uint8_t>(bits_);
        bits_ >>= 8;
        bit_count_ -= 8;
        if (block_length_ == 254)
            flush_block();
    }
    // The width changes only after the code that calls for it has gone out.
    if (reset_width_) {
        width_ = initial_bits_;
        limit_ = (1 << width_) - 1;
        reset_width_ = false;
    } else if (next_code_ > limit_) {
        ++width_;
        limit_ = width_ == max_bits ? max_codes : (1 << width_) - 1;
    }
}

void lzw_encoder::flush_bits() {
    while (bit_count_ > 0) {
        block_[1 + block_length_++] = static_cast<std::uint8_t>(bits_);
        bits_ >>= 8;
        bit_count_ -= 8;
        if (block_length_ == 254)
            flush_block();
    }
    bit_count_ = 0;
}

void lzw_encoder::flush_block() {
    if (block_length_ == 0)
        return;
    block_[0] = static_cast<std::uint8_t>(block_length_);
    sink_->write(block_, std::size_t(block_length_) + 1);
    block_length_ = 0;
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
