#include "raster/resample.hpp"

#include <pixman.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace zoetra {

fit_fraction fit_scale(gif_size picture, gif_size box, bool enlarge) {
    const std::uint64_t w = picture.width, h = picture.height;
    const std::uint64_t bw = box.width, bh = box.height;
    if (w == 0 || h == 0 || bw == 0 || bh == 0)
        return {};
    if (w <= bw && h <= bh && !enlarge)
        return {};
    if (bw * h <= bh * w) // the width limits
        return {bw, w};
    return {bh, h};
}

gif_size fit_inside(gif_size picture, gif_size box, bool enlarge) {
    const fit_fraction f = fit_scale(picture, box, enlarge);
    if (f.over == f.under)
        return picture;
    // Whole numbers throughout, rounded to nearest, so the same sizes give
    // the same fit on every machine; the side that limits comes out as the
    // box's exactly.
    const auto side = [&f](std::uint64_t length, std::uint64_t limit) {
        return std::uint16_t(
            std::clamp<std::uint64_t>((2 * length * f.over + f.under) / (2 * f.under), 1, limit));
    };
    return gif_size{side(picture.width, box.width), side(picture.height, box.height)};
}

namespace {

// An image in pixman's premultiplied a8r8g8b8 layout.
struct premultiplied {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

premultiplied premultiply(const buffer& source) {
    premultiplied out{source.width(), source.height(), {}};
    const std::size_t count = std::size_t(out.width) * out.height;
    out.pixels.resize(count);
    const pixel* in = source.pixels();
    for (std::size_t i = 0; i < count; ++i)
        out.pixels[i] = is_visible(in[i]) ? 0xFF000000u | (in[i] & 0xFFFFFFu) : 0u;
    return out;
}

struct pixman_releaser {
    void operator()(pixman_image_t* image) const { pixman_image_unref(image); }
};
using pixman_ptr = std::unique_ptr<pixman_image_t, pixman_releaser>;

pixman_ptr wrap(premultiplied& image) {
    return pixman_ptr(pixman_image_create_bits(PIXMAN_a8r8g8b8, image.width, image.height,
                                               image.pixels.data(), image.width * 4));
}

// One pass of pixman's separable convolution: a reduction samples with the
// kernel stretched over the source pixels that one target pixel covers; an
// enlargement reconstructs between source pixels with it.
premultiplied scale(premultiplied& from, int width, int height, pixman_kernel_t kernel) {
    premultiplied to{width, height, std::vector<std::uint32_t>(std::size_t(width) * height)};
    pixman_ptr source = wrap(from);
    pixman_ptr target = wrap(to);
    if (!source || !target)
        return to;
    const double sx = double(from.width) / width;
    const double sy = double(from.height) / height;
    pixman_transform_t transform;
    pixman_transform_init_scale(&transform, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy));
    pixman_image_set_transform(source.get(), &transform);
    pixman_image_set_repeat(source.get(), PIXMAN_REPEAT_PAD);
    const bool reduce_x = sx >= 1, reduce_y = sy >= 1;
    int count = 0;
    pixman_fixed_t* parameters = pixman_filter_create_separable_convolution(
        &count, pixman_double_to_fixed(std::max(sx, 1.0)),
        pixman_double_to_fixed(std::max(sy, 1.0)), reduce_x ? PIXMAN_KERNEL_IMPULSE : kernel,
        reduce_y ? PIXMAN_KERNEL_IMPULSE : kernel, reduce_x ? kernel : PIXMAN_KERNEL_IMPULSE,
        reduce_y ? kernel : PIXMAN_KERNEL_IMPULSE, 4, 4);
    if (parameters != nullptr) {
        pixman_image_set_filter(source.get(), PIXMAN_FILTER_SEPARABLE_CONVOLUTION, parameters,
                                count);
        std::free(parameters);
    } else {
        pixman_image_set_filter(source.get(), PIXMAN_FILTER_BILINEAR, nullptr, 0);
    }
    pixman_image_composite32(PIXMAN_OP_SRC, source.get(), nullptr, target.get(), 0, 0, 0, 0, 0, 0,
                             width, height);
    return to;
}

std::uint8_t unpremultiplied(std::uint32_t value, std::uint32_t alpha) {
    return std::uint8_t(std::min<std::uint32_t>(255, (value * 255 + alpha / 2) / alpha));
}

} // namespace

std::unique_ptr<buffer> resample(const buffer& source, std::uint16_t width, std::uint16_t height) {
    width = std::max<std::uint16_t>(width, 1);
    height = std::max<std::uint16_t>(height, 1);
    premultiplied image = premultiply(source);
    // A large reduction first averages whole areas down to twice the size
    // (cheap: each source pixel is read about once), then the windowed sinc
    // takes the last step, where its wider footprint is affordable.
    if (image.width > 3 * width || image.height > 3 * height)
        image = scale(image, std::min(image.width, 2 * width), std::min(image.height, 2 * height),
                      PIXMAN_KERNEL_BOX);
    image = scale(image, width, height, PIXMAN_KERNEL_LANCZOS3);

    auto out = std::make_unique<buffer>(width, height, colour{1, 0, 0, 0});
    buffer_lock hold(*out);
    pixel* to = out->pixels();
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const std::uint32_t p = image.pixels[i];
        const std::uint32_t alpha = p >> 24;
        if (alpha == 0) {
            to[i] = transparent_flag;
            continue;
        }
        const pixel rgb = pixel(unpremultiplied((p >> 16) & 0xFF, alpha)) << 16 |
                          pixel(unpremultiplied((p >> 8) & 0xFF, alpha)) << 8 |
                          unpremultiplied(p & 0xFF, alpha);
        to[i] = alpha >= 128 ? rgb : transparent_flag | rgb;
    }
    return out;
}

} // namespace zoetra
