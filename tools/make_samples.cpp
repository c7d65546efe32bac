// Draws the sample GIFs of samples/: a photo-like picture, a logo with a
// transparent background, 1-bit line art and a small icon. Usage:
//   zoetra-make-samples OUTPUT_FOLDER
//   zoetra-make-samples --photo WIDTHxHEIGHT FILE   (the photo at another size)
#include "raster/draw.hpp"
#include "raster/text.hpp"
#include "save_gif.hpp"

#include <cmath>
#include <cstdio>
#include <string>

using namespace zoetra;

namespace {

constexpr colour transparent{1, 0, 0, 0};

std::uint8_t clamp_byte(double v) {
    return static_cast<std::uint8_t>(std::fmin(255, std::fmax(0, v)));
}

using tools::save_gif;

// Soft gradients, shaded discs and a little grain.
void draw_photo(buffer& b) {
    buffer_lock lock(b);
    unsigned seed = 12345;
    for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
            double fx = double(x) / b.width(), fy = double(y) / b.height();
            double r = 70 + 150 * fy + 30 * std::sin(fx * 9);
            double g = 110 + 90 * std::sin(fx * 3.1 + fy * 2);
            double bl = 190 - 120 * fy + 40 * std::cos(fy * 7);
            for (auto [cx, cy, radius, tint] :
                 {std::tuple{0.3, 0.55, 0.22, 0.0}, std::tuple{0.72, 0.4, 0.18, 1.0}}) {
                double dx = fx - cx, dy = (fy - cy) * b.height() / b.width();
                double d = std::sqrt(dx * dx + dy * dy) / radius;
                if (d < 1) {
                    double shade = 1 - d * d;
                    r = r * (1 - shade) + (tint ? 250 : 240) * shade;
                    g = g * (1 - shade) + (tint ? 190 : 80) * shade;
                    bl = bl * (1 - shade) + (tint ? 60 : 90) * shade;
                }
            }
            seed = seed * 1103515245u + 12345u;
            double grain = double((seed >> 16) % 17) - 8;
            put_pixel(
                b, x, y,
                colour{0, clamp_byte(r + grain), clamp_byte(g + grain), clamp_byte(bl + grain)});
        }
    }
}

void draw_logo(buffer& b) {
    buffer_lock lock(b);
    fast_fill(b, transparent);
    int w = b.width(), h = b.height();
    draw_circle(b, 4, 4, h - 8, h - 8, colour{0, 20, 60, 160}, true, colour{0, 40, 120, 230});
    draw_circle(b, 16, 16, h - 32, h - 32, colour{0, 250, 200, 40}, true, colour{0, 250, 200, 40});
    std::int16_t xs[] = {std::int16_t(h - 6), std::int16_t(w - 4), std::int16_t(w - 4),
                         std::int16_t(h - 6)};
    std::int16_t ys[] = {std::int16_t(h / 2 - 14), std::int16_t(h / 2 - 14),
                         std::int16_t(h / 2 + 14), std::int16_t(h / 2 + 14)};
    draw_polygon(b, xs, ys, 4, colour{0, 20, 60, 160}, true, colour{0, 230, 60, 70});
    draw_text_at(b, "Zoetra", std::int16_t(h + 2), std::int16_t(h / 2 + 6),
                 colour{0, 255, 255, 255}, text_size::points_12);
}

void draw_line_art(buffer& b) {
    buffer_lock lock(b);
    colour white{0, 255, 255, 255}, black{0, 0, 0, 0};
    fast_fill(b, colour{0, 255, 255, 255});
    draw_rectangle(b, 0, 0, b.width(), b.height(), white, false, black);
    draw_line(b, 10, 80, 60, 12, black);
    draw_line(b, 60, 12, 110, 80, black);
    draw_line(b, 10, 80, 110, 80, black);
    draw_circle(b, 44, 40, 32, 32, black, false, black);
    draw_circle(b, 86, 8, 24, 24, black, false, black);
    for (int i = 0; i < 6; ++i)
        draw_line(b, 14 + i * 16, 88, 22 + i * 16, 92, black);
}

void draw_icon(buffer& b) {
    buffer_lock lock(b);
    fast_fill(b, transparent);
    draw_rectangle(b, 2, 2, 28, 28, colour{0, 250, 240, 200}, true, colour{0, 60, 40, 20});
    draw_circle(b, 7, 7, 18, 18, colour{0, 200, 30, 30}, true, colour{0, 230, 60, 40});
    draw_line(b, 16, 9, 16, 23, colour{0, 255, 255, 255});
    draw_line(b, 9, 16, 23, 16, colour{0, 255, 255, 255});
}

// The photo at any size, for benchmarks on large pictures.
int make_photo(const char* size, const std::string& path) {
    int width = 0, height = 0;
    char end = 0;
    if (std::sscanf(size, "%dx%d%c", &width, &height, &end) != 2 || width < 1 || height < 1 ||
        width > 8192 || height > 8192) {
        std::fprintf(stderr, "bad size %s (WIDTHxHEIGHT, up to 8192 each)\n", size);
        return 1;
    }
    buffer image(std::uint16_t(width), std::uint16_t(height), transparent);
    draw_photo(image);
    if (!save_gif(image, path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--photo")
        return make_photo(argv[2], argv[3]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: zoetra-make-samples OUTPUT_FOLDER\n"
                             "       zoetra-make-samples --photo WIDTHxHEIGHT FILE\n");
        return 1;
    }
    std::string folder = argv[1];
    struct sample {
        const char* name;
        std::uint16_t width, height;
        void (*draw)(buffer&);
    } samples[] = {
        {"photo.gif", 160, 120, draw_photo},
        {"logo.gif", 140, 64, draw_logo},
        {"lineart.gif", 120, 96, draw_line_art},
        {"icon.gif", 32, 32, draw_icon},
    };
    for (const sample& s : samples) {
        buffer image(s.width, s.height, transparent);
        s.draw(image);
        std::string path = folder + "/" + s.name;
        if (!save_gif(image, path)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
