#pragma once
// The palette's pictures as effects see them: fitted to the frame. A picture
// larger than the frame (a phone photo, a screenshot) is reduced, its aspect
// kept, to the largest size that fits inside the frame, before any effect
// sees it; one that fits is left as it is, unless enlarging is asked for.
// Sizes come from the files' headers; the reduced pictures are made once per
// picture and frame size (a JPEG decoded straight at a reduced scale) and
// kept in the skin image cache, which frees them when memory runs short.
#include "base/geometry.hpp"
#include "raster/buffer.hpp"
#include "skin/skin_images.hpp"

#include <memory>
#include <string>

namespace zoetra {

class palette_pictures {
  public:
    explicit palette_pictures(skin_cache& skins) : skins_(skins) {}

    // The box pictures are fitted into; (0, 0), the start, fits nothing and
    // leaves every picture at its own size.
    void set_frame(gif_size frame, bool enlarge);
    gif_size frame() const { return frame_; }
    bool enlarges() const { return enlarge_; }

    // The picture's own size, from its header; (0, 0) when it cannot be read.
    gif_size own_size(const std::string& name) const;
    // Its size fitted to the frame.
    gif_size size_of(const std::string& name) const;

    // Draws the fitted picture into the box (x, y, width, height) of target,
    // scaled to the box by nearest neighbour, as the skin cache draws (mode
    // 0 copies every pixel, mode 1 only visible ones). False when it cannot
    // be read.
    bool draw(buffer& target, const std::string& name, int x, int y, int width, int height,
              int mode);
    // A small picture of it stretched to the box, every pixel copied, within
    // clip: a picture larger than the box is reduced with the filter, a
    // smaller one stretched by nearest neighbour as skin images are.
    bool draw_thumbnail(buffer& target, const std::string& name, const rect& box, const rect& clip);

    // The picture reduced (or enlarged) to size with the filter, or none.
    std::unique_ptr<buffer> make_fitted(const std::string& name, gif_size size);
    // Forgets what was made from the picture (it left the palette, or came
    // in again and may have changed on disk).
    void forget(const std::string& name);
    // How many fitted pictures were made so far.
    int fitted_made() const { return made_; }

  private:
    bool draw_at(buffer& target, const std::string& name, gif_size size, int x, int y, int width,
                 int height, int mode, const rect& clip);

    skin_cache& skins_;
    gif_size frame_{};
    bool enlarge_ = false;
    int made_ = 0;
};

} // namespace zoetra
