#pragma once
// Pictures made smaller (or larger) with a proper filter, for pictures far
// larger than the frame they go into: a 12-megapixel photo reduced to a
// 350 x 250 frame must keep its detail as an average, not as every twelfth
// pixel. Transparent pixels weigh nothing (the colours are premultiplied by
// their coverage), and a pixel that ends less than half covered is
// transparent, as a PNG's half-transparent pixels are read.
#include "base/geometry.hpp"
#include "raster/buffer.hpp"

#include <cstdint>
#include <memory>

namespace zoetra {

// The largest size of the picture's aspect that fits inside the box, or the
// picture's own size when it already fits and enlarge is off. Each side is
// at least 1; an empty picture or box gives the picture's size.
gif_size fit_inside(gif_size picture, gif_size box, bool enlarge);

// The factor by which fit_inside scales the picture, over / under: the box's
// side over the picture's on the side that limits, 1 / 1 where it leaves the
// picture as it is. Whole numbers, so that the factors of two fits compare
// exactly, not through sides rounded to whole pixels.
struct fit_fraction {
    std::uint64_t over = 1;
    std::uint64_t under = 1;
};
fit_fraction fit_scale(gif_size picture, gif_size box, bool enlarge);

// The source resampled to width x height (each at least 1). The source must
// be locked; the result is a new unlocked buffer.
std::unique_ptr<buffer> resample(const buffer& source, std::uint16_t width, std::uint16_t height);

} // namespace zoetra
