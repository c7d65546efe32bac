#pragma once
// The palette's pictures as effects see them: fitted to the frame. A picture
// larger than the frame (a phone photo, a screenshot) is reduced, its aspect
// kept, to the largest size that fits inside the frame, before any effect
// sees it; one that fits is left as it is, unless enlarging is asked for.
// Sizes come from the files' headers; the reduced pictures are made once per
// picture and frame size (a JPEG decoded straight at a reduced scale) and
// kept in the skin image cache, which frees them when memory runs short.
//
// An animated GIF taken as every frame is one palette entry, named by the
// file's name followed by animated_mark (no path holds a control
// character). A network draws one frame of it at a time, named by the file's
// name, frame_mark and the frame's number from 0: the frame as the animation
// reader composes it, fitted as a still picture is. The last animation
// decoded is kept, so that its frames are not decoded again for every frame
// slot; it is freed when memory runs short. An entry's name and its frames'
// names have the file's screen size.
#include "base/geometry.hpp"
#include "gif/animation_reader.hpp"
#include "raster/buffer.hpp"
#include "skin/skin_images.hpp"

#include <memory>
#include <optional>
#include <string>

namespace zoetra {

// The record separator, then words for whoever reads a saved name.
inline constexpr const char* animated_mark = "\036every frame";
inline constexpr char frame_mark = '\x1f';

// The palette name of every frame of the file.
std::string animated_name(const std::string& file);
bool is_animated_name(const std::string& name);
// Frame j of an entry named by animated_name.
std::string animation_frame_name(const std::string& animated, int j);
// The file a palette name or a frame name stands for.
std::string picture_file(const std::string& name);
// The frame a frame name stands for, or -1 for any other name.
int frame_of(const std::string& name);

class palette_pictures {
  public:
    explicit palette_pictures(skin_cache& skins);
    ~palette_pictures();
    palette_pictures(const palette_pictures&) = delete;
    palette_pictures& operator=(const palette_pictures&) = delete;

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

    // The frame slot being made, k of count: an animated entry shows its
    // frame floor(k * M / count) of its M frames there.
    void set_slot(int k, int count);
    // The frame name an animated entry of frames frames shows in the slot
    // being made; any other name as it is.
    std::string name_in_slot(const std::string& name, int frames) const;

  private:
    // The whole file of a name in the data folder, or none.
    std::optional<file_bytes> read_from_folder(const std::string& name) const;
    // The file's animation, decoded now or kept from before; none when it
    // cannot be read.
    const animation* decoded_animation(const std::string& file);
    std::unique_ptr<buffer> make_fitted_frame(const std::string& file, int j, gif_size size);
    bool draw_at(buffer& target, const std::string& name, gif_size size, int x, int y, int width,
                 int height, int mode, const rect& clip);

    skin_cache& skins_;
    gif_size frame_{};
    bool enlarge_ = false;
    int made_ = 0;
    int slot_ = 0;
    int slots_ = 1;
    // The last animation decoded, and the file it came from.
    std::string animation_file_;
    std::unique_ptr<animation> animation_;
    int memory_source_;
};

} // namespace zoetra
