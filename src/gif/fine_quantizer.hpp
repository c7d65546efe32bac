#pragma once
// Fine colours: every frame gets the palette that suits it, chosen by
// libimagequant.
//
// The standard reduction (quantizer.hpp) is fast and fixed to the byte, but
// one global table shared by every frame. Here each frame's palette is built
// from the pixels that frame draws, by median cut in a perceptual colour
// space refined with k-means, and the pixels are mapped with Floyd-Steinberg
// dithering that libimagequant weakens at edges and in noise, so flat areas
// stay smooth and grain is not made coarser.
//
// The colours of a large frame are chosen from a regular sample of about
// 32,768 of its pixels, which takes a fraction of the time for a few
// hundredths of a decibel.
//
// Pixels that a frame does not draw take no part: they choose no colours and
// receive no dithering error. The writer leaves out every pixel whose source
// did not change, so a still part of the picture keeps the very colours it
// was shown in, and its dithering never crawls.
//
// Kept colours (a caption's fill and outline) are in every palette
// libimagequant makes, as fixed colours that it places exactly and chooses
// the others around; whatever dithering chose for a pixel of one of them, it
// takes that colour's entry.
//
// The result is exactly reproducible: libimagequant spreads some loops over
// OpenMP threads, whose partial sums would then depend on the number of
// cores, so every thread that calls it asks OpenMP for a single thread.
#include "base/outcome.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct liq_attr;
struct liq_histogram;
struct liq_image;
struct liq_result;

namespace zoetra {

class fine_quantizer {
  public:
    // The index of a pixel that is not drawn.
    static constexpr std::uint8_t not_drawn = 255;
    static constexpr int max_colours = 255;

    fine_quantizer();
    ~fine_quantizer();
    fine_quantizer(const fine_quantizer&) = delete;
    fine_quantizer& operator=(const fine_quantizer&) = delete;

    // The most colours a palette gets from now on, 2 to max_colours (which
    // it is unless set).
    void set_most_colours(int count);
    // Whether pixels are dithered (the default) or each takes the nearest
    // colour of the palette.
    void set_dithering(bool on) { dithering_ = on; }
    // Colours (0xRRGGBB, at most four) that every palette from now on holds
    // exactly, within the most colours (or as all of them, where they are
    // more), and that their pixels take.
    void set_kept_colours(std::span<const std::uint32_t> colours);

    // rgba: width x height pixels of red, green, blue and alpha, rows top to
    // bottom; alpha 0 marks a pixel that is not drawn, any other alpha one
    // drawn in its colour. Chooses at most 255 colours (or as many as set)
    // for the drawn pixels,
    // writes them to colours (red, green, blue each) and returns how many.
    // Each drawn pixel's index is its colour's number; the others get
    // not_drawn. Allocates nothing from the shared allocator, so it may run
    // on a helper thread.
    int reduce(const std::uint8_t* rgba, int width, int height, std::uint8_t* indices,
               std::uint8_t* colours);

    // One palette for several pictures: each is added (laid out as for
    // reduce), the colours are chosen once for all of them, and then every
    // picture is mapped with those colours. Not for a helper thread: the
    // pictures are mapped one after the other.
    void start_shared();
    void add_shared(const std::uint8_t* rgba, int width, int height);
    int choose_shared(std::uint8_t* colours);
    void map_shared(const std::uint8_t* rgba, int width, int height, std::uint8_t* indices);

  private:
    static constexpr double sampled_pixels = 32768;

    // libimagequant's palette for the image; fails when libimagequant does
    // (it only does when memory runs out).
    outcome choose_colours(liq_image* image, const std::uint8_t* rgba, int width, int height,
                           liq_result*& result);
    void drop_shared();
    // The most colours a palette gets: the kept ones, if they are more.
    int most_colours() const { return std::max(most_colours_, kept_count_); }
    // The fixed cube of colours for when libimagequant fails, with the kept
    // colours after it.
    int fallback_colours(const std::uint8_t* rgba, std::size_t count, std::uint8_t* indices,
                         std::uint8_t* colours) const;
    void add_kept_colours(liq_image* image) const;
    // Makes sure colours holds every kept colour exactly: one missing
    // (libimagequant rounded it) replaces the nearest entry not kept, or
    // follows the others while there is room. Returns how many colours.
    int hold_kept_colours(std::uint8_t* colours, int count) const;
    // Every drawn pixel of a kept colour takes its entry.
    void write_kept_colours(const std::uint8_t* rgba, std::size_t count,
                            const std::uint8_t* colours, int colour_count,
                            std::uint8_t* indices) const;
    // libimagequant's indices into the frame's colour numbers.
    void renumber(const std::uint8_t* rgba, std::size_t count, const std::uint8_t* to_colour,
                  int colour_count, const std::uint8_t* colours, std::uint8_t* indices) const;

    liq_attr* attr_;
    int most_colours_ = max_colours;
    bool dithering_ = true;
    std::array<std::uint32_t, 4> kept_{};
    int kept_count_ = 0;
    liq_histogram* histogram_ = nullptr;
    liq_result* shared_ = nullptr;
    bool shared_left_out_ = false;
    bool shared_failed_ = false;
    int shared_count_ = 0;
    std::uint8_t shared_to_colour_[256] = {};
    std::uint8_t shared_colours_[max_colours * 3] = {};
    std::vector<std::uint8_t> sample_;
};

} // namespace zoetra
