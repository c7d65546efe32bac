// Nearest-neighbour stretch copies between buffers. Callers keep both
// rectangles inside their buffers; pixels that would fall outside either
// buffer are skipped all the same, so a bad rectangle cannot corrupt memory.
#include "raster/draw.hpp"

#include <vector>

namespace zoetra {
namespace {

template <bool skip_transparent>
void stretch(buffer& source, buffer& destination, int sx, int sy, int sw, int sh, int dx, int dy,
             int dw, int dh) {
    if (dw == 0 || dh == 0)
        return;
    buffer_lock hold_source(source);
    buffer_lock hold_destination(destination);
    const int source_width = source.width();
    const int source_height = source.height();
    const int destination_width = destination.width();
    const int destination_height = destination.height();
    // The source column of every destination column, -1 where either side
    // lies outside its buffer.
    std::vector<int> columns(std::size_t(dw), -1);
    for (int i = 0; i < dw; ++i) {
        const int from = sx + int(std::int64_t(sw) * i / dw);
        const int to = dx + i;
        if (from >= 0 && from < source_width && to >= 0 && to < destination_width)
            columns[std::size_t(i)] = from;
    }
    const pixel* const in = source.pixels();
    pixel* const out = destination.pixels();
    for (int j = 0; j < dh; ++j) {
        const int from_row = sy + int(std::int64_t(sh) * j / dh);
        const int to_row = dy + j;
        if (from_row < 0 || from_row >= source_height || to_row < 0 || to_row >= destination_height)
            continue;
        const pixel* source_row = in + std::size_t(from_row) * std::size_t(source_width);
        pixel* destination_row = out + std::size_t(to_row) * std::size_t(destination_width);
        for (int i = 0; i < dw; ++i) {
            const int column = columns[std::size_t(i)];
            if (column < 0)
                continue;
            const pixel p = source_row[column];
            if (skip_transparent && !is_visible(p))
                continue;
            destination_row[dx + i] = p;
        }
    }
}

} // namespace

void stretch_copy(buffer& source, buffer& destination, std::int16_t sx, std::int16_t sy,
                  std::uint16_t sw, std::uint16_t sh, std::int16_t dx, std::int16_t dy,
                  std::uint16_t dw, std::uint16_t dh) {
    stretch<false>(source, destination, sx, sy, sw, sh, dx, dy, dw, dh);
}

void stretch_copy_visible(buffer& source, buffer& destination, std::int16_t sx, std::int16_t sy,
                          std::uint16_t sw, std::uint16_t sh, std::int16_t dx, std::int16_t dy,
                          std::uint16_t dw, std::uint16_t dh) {
    stretch<true>(source, destination, sx, sy, sw, sh, dx, dy, dw, dh);
}

} // namespace zoetra
