#pragma once
// The drawing primitives. Callers lock the buffer around a run of drawing;
// each primitive also holds a lock for its own run when the caller has not,
// so a buffer that went to disk is brought back rather than written through
// an empty block. Point coordinates are 16-bit, sizes unsigned 16-bit.
// Whatever the caller passes, no primitive writes outside the pixel array:
// the ones that do not clip (put pixel, fast fill, stretch copies) still skip
// pixels that fall outside their buffer.
#include "base/geometry.hpp"
#include "raster/buffer.hpp"
#include "raster/pixel.hpp"

#include <cstdint>
#include <vector>

namespace zoetra {

void put_pixel(buffer& b, std::int16_t x, std::int16_t y, colour c);
// The pixel's four bytes, or the all-zero colour outside the buffer.
colour get_pixel(const buffer& b, std::int16_t x, std::int16_t y);

// Both end points drawn; pixels outside the window are skipped one by one, so
// the visible part of a line does not depend on where it was clipped.
void draw_line(buffer& b, std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1,
               colour c);

// A one-pixel border with an optional interior fill, clipped to the window.
void draw_rectangle(buffer& b, std::int16_t x, std::int16_t y, std::uint16_t w, std::uint16_t h,
                    colour fill, bool filled, colour border);

// Background fill: stores the colour with the transparent flag set. The null
// area stands for the whole buffer.
void fast_fill(buffer& b, colour c, rect area = rect{});

// (x, y) is the top-left corner of the bounding square. Mode 0 draws nothing,
// mode 1 one pixel, any other mode a circle of the given diameter.
void draw_circle(buffer& b, std::int16_t x, std::int16_t y, int mode, std::uint16_t diameter,
                 colour outline, bool filled, colour fill);

void draw_polygon(buffer& b, const std::int16_t* xs, const std::int16_t* ys, std::uint8_t count,
                  colour outline, bool filled, colour fill);

// A buffer's pixels at hand while the caller holds its lock, for drawing
// many small marks without a look-up each.
struct pixel_canvas {
    explicit pixel_canvas(buffer& locked)
        : image(locked), pixels(locked.pixels()), width(locked.width()), height(locked.height()) {}
    buffer& image;
    pixel* pixels;
    int width;
    int height;
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // put_pixel on the canvas.
    void put(int x, int y, pixel value) const {
        if (inside(x, y))
            pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = value;
    }
};

// The filled circle of draw_circle with fill and outline alike, as one span
// per row: made once for a diameter (2 or more), drawn many times.
struct circle_rows {
    explicit circle_rows(int diameter);
    int radius;
    // Per row from -radius to +radius: the span's half width, -1 for none.
    std::vector<int> half_widths;
    int widest = 0; // the largest half width
};
// draw_circle(x, y, diameter, diameter, k, true, k) on a canvas.
void fill_circle(const pixel_canvas& c, std::int16_t x, std::int16_t y, const circle_rows& rows,
                 pixel value);

// draw_polygon of four corners filled and outlined in one colour, on a canvas.
void fill_quad(const pixel_canvas& c, const std::int16_t* xs, const std::int16_t* ys, colour k);

// One row from `from` to `to` inclusive, clipped to the window.
void draw_span(buffer& b, std::int16_t y, std::int16_t from, std::int16_t to, colour c);

// Nearest-neighbour copy of a source rectangle onto a destination rectangle.
void stretch_copy(buffer& source, buffer& destination, std::int16_t sx, std::int16_t sy,
                  std::uint16_t sw, std::uint16_t sh, std::int16_t dx, std::int16_t dy,
                  std::uint16_t dw, std::uint16_t dh);
// The same, copying only visible source pixels (transparency byte 0).
void stretch_copy_visible(buffer& source, buffer& destination, std::int16_t sx, std::int16_t sy,
                          std::uint16_t sw, std::uint16_t sh, std::int16_t dx, std::int16_t dy,
                          std::uint16_t dw, std::uint16_t dh);

} // namespace zoetra
