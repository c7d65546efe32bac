#pragma once
// The captions of the frames a studio keeps: laid out for the frames' size
// and drawn into every frame after the effect and the cropping, so that the
// preview, the size and the file all show them. The pixels under a caption
// are kept, so that new words, or none, can replace it on the same frames
// without making them again.
#include "base/outcome.hpp"
#include "gif/encoder.hpp"
#include "raster/buffer.hpp"
#include "raster/caption.hpp"

#include <span>
#include <string>
#include <vector>

namespace zoetra {

class frame_captions {
  public:
    // The fill and the outline every caption is drawn in.
    static constexpr caption_colours colours{};

    const std::string& top() const { return top_; }
    const std::string& bottom() const { return bottom_; }
    bool any() const { return !top_.empty() || !bottom_.empty(); }
    // Whether the captions are drawn on the frames last given to draw_on.
    bool drawn() const { return drawn_; }

    // New words ("" for none). Frames they were drawn on must have them
    // taken off first.
    void set_texts(std::string top, std::string bottom);

    // Lays the captions out for the frames' size and draws them on every
    // frame, keeping the pixels under them. Words that do not fit the frame
    // are refused with the reason, and nothing is drawn.
    outcome draw_on(std::span<buffer* const> frames);
    // Puts back the pixels under the captions of the frames draw_on was
    // given (the same frames, in the same order, unchanged since).
    void take_off(std::span<buffer* const> frames);
    // Forgets what was drawn: the frames are gone.
    void forget_frames();

    // The colours the writer must keep exact: the fill and the outline, when
    // a caption is drawn.
    kept_colours colours_to_keep() const;

  private:
    std::string top_;
    std::string bottom_;
    caption_pair masks_;
    // Per frame, the pixels of the top block and then of the bottom block.
    std::vector<std::vector<pixel>> under_;
    bool drawn_ = false;
};

} // namespace zoetra
