#pragma once
// Fitting an animation under a file-size limit. The writer can tell the
// exact size of a file without writing it, so the search tries a fixed set
// of candidates (colour mode, colour count, lossy level; a smaller frame or
// fewer frames only when allowed), measures each one's exact size and its
// quality against the frames made, and takes the best picture under the
// limit. Since every candidate is measured whatever the limit, a looser
// limit never gives a worse picture.
#include "base/geometry.hpp"
#include "base/outcome.hpp"
#include "gif/encoder.hpp"
#include "raster/buffer.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zoetra {

// A limit with an optional K or M suffix (1024 and 1024 x 1024 bytes, any
// case, a fraction allowed: "1.5M"); at least 1 KB, at most 1 GB.
result<std::uint32_t> parse_byte_size(std::string_view text);

// Where a GIF goes: the frame size and the file-size limit there.
struct fit_place {
    const char* name;
    int width;
    int height;
    std::uint32_t limit;
    const char* where;
};
std::span<const fit_place> fit_places();
const fit_place* find_fit_place(std::string_view name);

// How the frames of a candidate are made: at the chosen frame or smaller,
// with every frame or every step-th one (the delay multiplied by the step,
// so that the animation lasts as long).
struct frame_variant {
    gif_size frame;
    int frames = 1;
    double delay = 0;
    friend bool operator==(const frame_variant&, const frame_variant&) = default;
};

struct fit_candidate {
    frame_variant variant;
    gif_encode_options coding;
};

struct fit_measure {
    std::uint32_t bytes = 0;
    double psnr = 0;
};

// The quality of an animation file against the frames it was made from, in
// dB: the mean squared error over the red, green and blue of the pixels
// opaque in either (a pixel transparent in one and opaque in the other
// counts as the largest error), each decoded frame enlarged to the frames'
// size when smaller and shown for as long as the frames it stands for.
// 99 for no error. Fails when the file cannot be read.
result<double> animation_psnr(std::span<const std::uint8_t> file, std::span<buffer* const> frames);

// The coding candidates: for each colour count, from 256 down to 8, fine
// colours dithered and not, then the standard colours, each from lossless to
// the strongest lossy level. The last is the strongest of all.
std::vector<gif_encode_options> coding_candidates();

struct fit_request {
    std::uint32_t limit = 0;
    bool may_shrink = false;
    bool may_drop_frames = false;
};

// Every candidate measured: the exact size of its file and its quality.
struct fit_survey {
    frame_variant base;
    struct entry {
        fit_candidate candidate;
        fit_measure measure;
    };
    std::vector<entry> entries;
};

struct fit_outcome {
    bool fits = false;
    fit_candidate chosen;
    fit_measure measure;
    // When nothing fits: the smallest file the allowed settings give, and
    // the smallest with each allowance that was not given (0: not measured).
    std::uint32_t smallest = 0;
    std::uint32_t smallest_shrunk = 0;
    std::uint32_t smallest_fewer_frames = 0;
};

// What the search needs from whoever makes the frames: the frames of a
// variant (made anew unless they are the last ones made), and how they are
// written. The frames stay valid until the next call of make.
struct fit_frames {
    std::function<result<std::vector<buffer*>>(const frame_variant&)> make;
    std::uint16_t loop_count = 0;
    // The delays of the frames last made, one per frame; none: every frame
    // the variant's delay.
    std::function<std::vector<std::uint16_t>()> delays;
    // Colours every candidate keeps exact (captions).
    kept_colours kept;
    std::function<void(const std::string&)> on_progress;
    // Called after each frame written: a place to pause.
    std::function<void()> on_frame;
};

// Measures every candidate that the allowances give. base is the variant of
// the frames as asked for; its frames are the reference every candidate is
// measured against.
result<fit_survey> survey_candidates(const frame_variant& base, bool shrink, bool drop_frames,
                                     fit_frames& source);

// The best picture under the limit among the candidates the request allows
// (the smaller file on a tie); or, when none fits, the smallest sizes.
fit_outcome choose_candidate(const fit_survey& survey, const fit_request& request);

// Both: the survey with the allowances given, and where nothing fits, the
// smallest file of each allowance not given (its strongest coding only).
result<fit_outcome> fit_under(const fit_request& request, const frame_variant& base,
                              fit_frames& source);

// The options of zoetra-render that make the chosen file from the options
// the person gave: the coding, and the frame size, count and delay when the
// variant is not the base.
std::string fit_option_line(const fit_candidate& chosen, const frame_variant& base);

} // namespace zoetra
