#pragma once
// Drawing for the toolkit: a buffer with a clip rectangle. Everything a
// control draws goes through one, so that nothing it draws can land outside
// the area it owns, whatever its rectangle and values are.
#include "app/services/interface_colours.hpp"
#include "raster/buffer.hpp"
#include "raster/pixel.hpp"
#include "ui/surface.hpp"

#include <string>
#include <string_view>

namespace zoetra {

class canvas {
  public:
    // Keeps to clip and to the buffer; locks the buffer for its lifetime.
    // Skin images come from skins (none: there are none).
    canvas(buffer& target, const rect& clip, skin_cache* skins = nullptr);

    const rect& clip() const { return clip_; }
    buffer& target() { return target_; }

    // Background fill: the colour stored with the transparent flag set, as
    // the frame image's own background is.
    void fill(const rect& r, colour c = ui_mid);
    // Painted pixels.
    void paint(const rect& r, colour c);
    void line(int x0, int y0, int x1, int y1, colour c);
    // One-pixel edges: top and left in one colour, bottom and right in the other.
    void bevel(const rect& r, colour upper_left, colour lower_right);
    // A 3-D box with a ui_light face: raised (light upper-left edges, dark
    // lower-right ones) or sunken (the other way round).
    void box(const rect& r, bool sunken);
    // A circle outline of the given radius round (cx, cy).
    void circle(int cx, int cy, int radius, colour c);
    void disc(int cx, int cy, int radius, colour c);
    // One line of 9-point text whose baseline is y.
    void text(std::string_view s, int x, int baseline, colour c = ui_text);
    // Centred on x.
    void text_centred(std::string_view s, int centre_x, int baseline, colour c = ui_text);
    // The skin image called name scaled into box (mode 0: every pixel; 1:
    // only its visible pixels). False when there is no such image.
    bool skin(const std::string& name, const rect& box, int mode = 0);

  private:
    void put(int x, int y, pixel p);
    buffer& target_;
    buffer_lock lock_;
    rect clip_;
    skin_cache* skins_;
};

// The baseline that centres one line of 9-point text vertically in r.
int centred_baseline(const rect& r);
// The rectangle r moved in by d on every side (empty when too small).
rect inset(const rect& r, int d);
// Tells the shell that r of the target changed (cut to the target).
void present(const buffer& target, const rect& r);

} // namespace zoetra
