#pragma once
// Reading an animated GIF as input: every frame composed as GIF89a asks, with
// its delay, so that an animation can be taken into the program whole.
//
// The canvas starts as the background colour with the transparent flag set
// (what no frame has drawn is transparent, as a browser shows it). A frame
// draws its visible indices over the canvas; its transparent index leaves the
// canvas pixel. After the frame is shown, its disposal method decides what
// the next frame starts from: 0, 1 and 5 to 7 leave the canvas as drawn; 2
// puts the frame's rectangle back to the background (transparent); 3, and
// the 4 that old files wrote for it, put back the canvas as it was before
// the frame. (The frame reader of decoder.hpp keeps 3 as drawn and restores
// on 4 alone; pictures and skins depend on that.)
//
// Long animations are sampled: a first pass counts the frames without
// decoding their data, so that only the frames kept are held in memory. Of M
// frames, N = max_frames are kept evenly, output frame k being input frame
// floor(k * M / N), and the delays of the frames left out are added to the
// kept frame before them, so that the animation lasts as long as before.
//
// A frame that cannot be read (its data is broken or the file ends inside
// it) ends the animation there: the frames before it are kept and the
// warning names it. Only a file whose first frame cannot be read fails.
#include "base/outcome.hpp"
#include "gif/byte_stream.hpp"
#include "raster/buffer.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zoetra {

// The canvases kept for one animation, with the two the composition works
// on, may take this much memory at most: a file whose frames would need more
// is refused, and can be read again with fewer frames taken.
inline constexpr std::uint64_t max_animation_bytes = std::uint64_t(1) << 30;

struct animation_frame {
    std::unique_ptr<buffer> picture; // the screen's size, pixels as in decoder.hpp
    std::uint16_t delay = 0;         // hundredths of a second, as stored (0 allowed)
};

struct animation {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::vector<animation_frame> frames;
    // The frames read from the file before sampling: all of them, or those
    // before the first that cannot be read.
    std::size_t frames_in_file = 0;
    // "", or why frames are missing or merged, for the status line.
    std::string warning;
};

// The frames of the GIF file at path, at most max_frames of them (at least
// one is always taken); or why none can be read.
result<animation> read_animation(const std::string& path, std::size_t max_frames = 32);
// The same for a file already in memory.
result<animation> decode_animation(file_bytes bytes, std::size_t max_frames = 32);
// How many frames the file holds, counted without decoding their data (0
// when it is not a readable GIF): for a caller deciding whether to ask about
// taking the first frame or every frame.
std::size_t count_gif_frames(const std::string& path);

} // namespace zoetra
