#pragma once
// The frame image: the one surface on which the whole window is drawn, with
// the window regions derived from its size and the output area, where an
// effect draws and from which frames are captured.
#include "app/services/geometry.hpp"
#include "raster/buffer.hpp"

#include <cstdint>
#include <functional>

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

    // Always centred in the work area; null until the first set_output_size.
    rect output_area() const { return output_area_; }
    // The output area becomes at most w x h (each cut to the work area),
    // centred in the work area. The hook runs when the area changed.
    void set_output_size(int w, int h);

    using change_hook = std::function<void(const rect& output_area)>;
    void on_output_area_changed(change_hook hook) { changed_ = std::move(hook); }

  private:
    buffer image_;
    rect output_area_{};
    change_hook changed_;
};

// The process-wide frame image that components reach without a reference
// (nullptr when none is installed). Not owned.
void install_frame_image(frame_image* image);
frame_image* current_frame_image();

// set_output_size on the current frame image; nothing without one.
void set_output_size(int w, int h);

} // namespace zoetra
