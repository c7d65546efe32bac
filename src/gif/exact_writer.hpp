#pragma once
// Exact colours: every frame written whole in exactly the colours it was
// drawn in, with neither reduction nor dithering. The colours of all frames
// make one global table of as few entries as they need, in the order their
// pixels first appear, transparent pixels sharing one entry (black). The
// first pixel's entry is the background. For pictures drawn in a few flat
// colours, such as the program's skin images, which must decode to the very
// colours they were drawn in.
#include "gif/writer_context.hpp"
#include "gif/writer_support.hpp"

#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace zoetra::gif_detail {

class exact_writer {
  public:
    exact_writer(writer_context& context, const animation_frames& frames);
    // Fails, having written nothing, when the colours are more than a table
    // holds.
    outcome write();

  private:
    // The table entry of pixel p of the crop: the key of its colour, or of
    // transparency.
    std::uint32_t key_of(std::size_t p) const;
    outcome collect_colours();
    frame_layout layout() const;
    void index_frame();

    writer_context& context_;
    const animation_frames& frames_;
    const std::size_t pixel_count_;
    source_crop crop_;
    heap_ptr<std::uint8_t> indices_;
    // Each key's entry in the table.
    std::unordered_map<std::uint32_t, std::uint8_t> entries_;
};

} // namespace zoetra::gif_detail
