#pragma once
// The code stream of GIF LZW data, shared by both coders: variable-width
// codes packed least significant bit first into bytes. The width starts at
// initial_bits, grows right after the code that makes the next free code pass
// the current limit (at 12 bits the limit is 4096, never passed) and goes back
// to initial_bits after a clear code.
//
// pending holds the bits not yet making a whole byte; every code stores the
// next eight bytes at once and keeps only the whole ones, so the buffer needs
// eight spare bytes past the last whole byte.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zoetra {

class lzw_packer {
  public:
    static constexpr int max_bits = 12;
    static constexpr int max_codes = 1 << max_bits;

    lzw_packer(std::uint8_t* bytes, int initial_bits)
        : bytes_(bytes), initial_bits_(initial_bits), width_(initial_bits),
          limit_((1 << initial_bits) - 1) {}

    void put(int code) {
        pending_ |= std::uint64_t(code) << pending_bits_;
        pending_bits_ += width_;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(bytes_ + length_, &pending_, sizeof pending_);
        } else {
            for (std::size_t k = 0; k < sizeof pending_; ++k)
                bytes_[length_ + k] = static_cast<std::uint8_t>(pending_ >> (8 * k));
        }
        length_ += std::size_t(pending_bits_ >> 3);
        pending_ >>= pending_bits_ & ~7;
        pending_bits_ &= 7;
    }
    void widen(int next_code) {
        if (next_code > limit_) {
            ++width_;
            limit_ = width_ == max_bits ? max_codes : (1 << width_) - 1;
        }
    }
    // After a clear code.
    void narrow() {
        width_ = initial_bits_;
        limit_ = (1 << width_) - 1;
    }
    // The whole bytes packed so far.
    std::size_t length() const { return length_; }
    // The caller took all but the last kept bytes, and moved those to the
    // front.
    void keep_last(std::size_t kept) { length_ = kept; }
    // Packs the last bits into a byte of their own; returns the length.
    std::size_t finish() {
        if (pending_bits_ > 0)
            bytes_[length_++] = static_cast<std::uint8_t>(pending_);
        pending_ = 0;
        pending_bits_ = 0;
        return length_;
    }

  private:
    std::uint8_t* const bytes_;
    const int initial_bits_;
    int width_;
    int limit_;
    std::uint64_t pending_ = 0;
    int pending_bits_ = 0;
    std::size_t length_ = 0;
};

} // namespace zoetra
