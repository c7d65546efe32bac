#include "gif/gif_blocks.hpp"

#include <algorithm>
#include <bit>

namespace zoetra::gif_detail {

int table_bits_for(int count) {
    return std::max(1, int(std::bit_width(unsigned(std::max(count, 1) - 1))));
}

void gif_blocks::header(std::uint16_t width, std::uint16_t height, int table_bits) {
    static constexpr std::uint8_t signature[6] = {'G', 'I', 'F', '8', '9', 'a'};
    sink_.write(signature, sizeof signature);
    sink_.put_word(width);
    sink_.put_word(height);
    sink_.put(std::uint8_t(0xF0 | (table_bits - 1)));
    sink_.put(0);
    sink_.put(0);
}

void gif_blocks::colour_table(const std::uint8_t* rgb, int bits) {
    sink_.write(rgb, std::size_t(3) << bits);
}

// Repeat count 0 plays for ever, otherwise the loop count less the first
// showing.
void gif_blocks::loop_extension(std::uint16_t loop_count) {
    static constexpr std::uint8_t header[16] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S',  'C',
                                                'A',  'P',  'E',  '2', '.', '0', 0x03, 0x01};
    sink_.write(header, sizeof header);
    sink_.put_word(loop_count == 0 ? 0 : std::uint16_t(loop_count - 1));
    sink_.put(0x00);
}

void gif_blocks::frame_head(const frame_layout& frame, std::uint16_t delay) {
    // Graphic control extension: the disposal, whether there is a transparent
    // index, the delay and the transparent index.
    const std::uint8_t control[8] = {
        0x21,
        0xF9,
        0x04,
        std::uint8_t(std::uint8_t(frame.disposal) << 2 | (frame.transparency ? 0x01 : 0x00)),
        std::uint8_t(delay & 0xFF),
        std::uint8_t(delay >> 8),
        frame.transparency ? frame.transparent : std::uint8_t(0),
        0x00};
    sink_.write(control, sizeof control);
    // Image descriptor, not interlaced.
    sink_.put(0x2C);
    sink_.put_word(std::uint16_t(frame.rect.left));
    sink_.put_word(std::uint16_t(frame.rect.top));
    sink_.put_word(std::uint16_t(frame.rect.width));
    sink_.put_word(std::uint16_t(frame.rect.height));
    if (frame.local_bits == 0) {
        sink_.put(0x00);
    } else {
        sink_.put(std::uint8_t(0x80 | (frame.local_bits - 1)));
        colour_table(frame.local_table, frame.local_bits);
    }
    sink_.put(std::uint8_t(frame.code_size));
}

void gif_blocks::image_data(const memory_sink& coded) {
    sink_.write(coded.bytes().data(), coded.bytes().size());
    sink_.put(0x00);
}

void gif_blocks::trailer() {
    sink_.put(0x3B);
}

} // namespace zoetra::gif_detail
