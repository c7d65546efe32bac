#pragma once
// Drawing an animation as the changes between its pictures.
//
// A viewer composes every frame onto a canvas: a frame draws a rectangle, its
// transparent pixels leave the canvas as it was, and afterwards its disposal
// method either leaves the rectangle in place (1) or clears it to the
// background (2), which viewers show as transparent. The pictures the viewer
// shows must stay exactly the pictures of the animation, so:
//
//  - A frame needs to draw a pixel where the canvas it finds differs from its
//    picture: where the picture changed since the previous one, and where
//    the previous frame's clearing took away a colour the picture still has.
//    Every other pixel of its rectangle is left transparent.
//  - No frame can make a pixel transparent by drawing. When the next picture
//    is transparent where this one shows a colour, this frame clears its
//    rectangle afterwards, and the rectangle grows to take in those pixels;
//    otherwise it leaves everything in place, which keeps most of the canvas
//    for the next frame.
//  - The first frame covers the whole screen. A picture the same as the one
//    before is one transparent pixel in the corner.
//  - The last frame is followed by the first when the animation repeats, so
//    it clears for the first picture's transparent pixels.
//
// The planner decides rectangles and disposals frame by frame, in order, from
// two masks per picture: where it is opaque, and where it equals the picture
// before. It never looks at colours, so the same rules serve pictures known
// in advance and pictures whose colours are chosen afterwards.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zoetra {

struct frame_rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool contains(int x, int y) const {
        return x >= left && x < left + width && y >= top && y < top + height;
    }
    std::size_t area() const { return std::size_t(width) * std::size_t(height); }
    friend bool operator==(const frame_rect&, const frame_rect&) = default;
};

// The graphic control extension's disposal methods the writer uses. It never
// restores a frame's rectangle to what was there before: viewers take 3 for
// that, the program's own reader only the 4 of old files (decoder.cpp), so
// neither number would show the same everywhere.
enum class frame_disposal : std::uint8_t { keep = 1, clear = 2 };

struct frame_step {
    // The smallest rectangle that holds every pixel to draw and every pixel
    // to clear afterwards.
    frame_rect rect;
    frame_disposal disposal = frame_disposal::keep;
};

class frame_planner {
  public:
    frame_planner(int width, int height);

    // Plans the next frame. opaque: 1 where its picture shows a colour;
    // same: 1 where its picture equals the previous one (not read for the
    // first frame); next_opaque: the next picture's opaque mask (for the
    // last frame, the first picture's). need receives 1 for every pixel the
    // frame must draw, 0 elsewhere. Every mask holds width x height bytes.
    frame_step plan(const std::uint8_t* opaque, const std::uint8_t* same,
                    const std::uint8_t* next_opaque, std::uint8_t* need) const;
    // Whether a frame draws a pixel: where the previous frame cleared it (or
    // before the first frame), when the picture shows a colour there;
    // elsewhere, when the picture changed.
    static bool must_draw(bool cleared, bool opaque, bool same) { return cleared ? opaque : !same; }
    // What the frame did: rect holds the planned one (a writer may draw a
    // larger one), with the planned disposal. The next plan follows from it.
    void drawn(frame_rect rect, frame_disposal disposal);

    // The rectangle the last frame cleared (empty when it left everything).
    frame_rect cleared() const { return cleared_; }
    bool first() const { return first_; }
    frame_rect screen() const { return {0, 0, width_, height_}; }

  private:
    int width_;
    int height_;
    bool first_ = true;
    frame_rect cleared_;
};

} // namespace zoetra
