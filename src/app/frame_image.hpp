#pragma once
// The frame image: the one surface on which the whole window is drawn, with
// the window's layout derived from its size (tab row, panel body, work area,
// status line, help body) and the damaged areas: what was drawn since the
// window last showed it. The studio's canvas is shown in the work area.
#include "base/geometry.hpp"
#include "raster/buffer.hpp"

#include <cstdint>
#include <vector>

namespace zoetra {

class frame_image {
  public:
    // A width x height image filled with ui_mid.
    frame_image(std::uint16_t width, std::uint16_t height);

    buffer& image() { return image_; }
    const buffer& image() const { return image_; }
    std::uint16_t width() const { return image_.width(); }
    std::uint16_t height() const { return image_.height(); }

    // Regions. Sizes that would come out negative on a tiny image are 0.
    rect tab_row() const;
    rect panel_body() const;
    rect work_area() const;
    rect status_line() const;
    rect help_body() const;

    // Notes that area was drawn (the null area: the whole image). Areas are
    // kept clipped to the image; overlapping ones are merged, and past a few
    // rectangles they become their bounding box.
    void mark_damaged(const rect& area);
    bool damaged() const { return !damage_.empty(); }
    // The damaged rectangles, none of them outside the image; the list is
    // empty afterwards.
    std::vector<rect> take_damage();

  private:
    buffer image_;
    std::vector<rect> damage_;
};

} // namespace zoetra
