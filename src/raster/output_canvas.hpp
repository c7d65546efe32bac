#pragma once
// The canvas an effect draws on: an image of the output area's size, and the
// work area that the output area lies in, centred. Effects draw into the
// image at its own coordinates (0, 0 is the output area's top left corner),
// and frames are captured from it. Whoever shows the canvas (the window)
// places the image at the output area's place in a work area of its own.
#include "base/geometry.hpp"
#include "raster/buffer.hpp"

#include <cstdint>
#include <functional>
#include <memory>

namespace zoetra {

class output_canvas {
  public:
    // The work area of the window and of the renderer.
    static constexpr std::uint16_t standard_work_width = 650;
    static constexpr std::uint16_t standard_work_height = 351;

    // A canvas in a work area of width x height, with an empty output area
    // until set_output_size. New and resized images are filled with
    // background.
    output_canvas(std::uint16_t work_width, std::uint16_t work_height, colour background);

    // The work area, at (0, 0).
    rect work_area() const { return rect{0, 0, work_width_, work_height_}; }
    // Where the output area lies in the work area; null until the first
    // set_output_size.
    rect output_area() const { return output_area_; }
    // The output area becomes at most w x h (each cut to the work area),
    // centred in the work area; the image takes its size, filled with the
    // background when the size changed. The hook runs when the area changed.
    void set_output_size(int w, int h);
    // The work area becomes width x height; the output area keeps its size,
    // cut to the new work area and centred in it.
    void set_work_size(std::uint16_t width, std::uint16_t height);

    buffer& image() { return *image_; }
    const buffer& image() const { return *image_; }
    colour background() const { return background_; }

    using change_hook = std::function<void(const rect& output_area)>;
    void on_output_area_changed(change_hook hook) { changed_ = std::move(hook); }

  private:
    std::uint16_t work_width_;
    std::uint16_t work_height_;
    colour background_;
    rect output_area_{};
    std::unique_ptr<buffer> image_;
    change_hook changed_;
};

} // namespace zoetra
