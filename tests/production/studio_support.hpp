#pragma once
// Test support for production: a private data folder that becomes the
// current directory (with Effects/ and Resources/), GIF files drawn for the
// test, and the headless platform installed for the test's lifetime.
#include "../support/files.hpp"
#include "gif/encoder.hpp"
#include "platform/headless_platform.hpp"
#include "raster/draw.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace zoetra::testing {

using data_folder = working_folder;

// Writes a one-frame GIF of width x height; paint draws on a transparent canvas.
inline std::string write_gif(const std::string& path, std::uint16_t width, std::uint16_t height,
                             const std::function<void(buffer&)>& paint) {
    buffer image(width, height, colour{1, 0, 0, 0});
    {
        buffer_lock lock(image);
        paint(image);
    }
    gif_writer writer;
    crop_size size{width, height};
    EXPECT_TRUE(writer.open(path, crop_origin{}, size, 1));
    buffer* frames[] = {&image};
    writer.write_frames(frames, crop_origin{}, size, 0);
    EXPECT_TRUE(writer.close());
    return path;
}

// A GIF filled with one opaque colour.
inline std::string write_solid_gif(const std::string& path, std::uint16_t width,
                                   std::uint16_t height, colour c) {
    return write_gif(path, width, height,
                     [&](buffer& b) { draw_rectangle(b, 0, 0, width, height, c, true, c); });
}

// Installs a headless platform (quiet) for the lifetime of the object.
class quiet_platform : public headless_platform {
  public:
    quiet_platform() {
        set_quiet(true);
        install_platform(this);
    }
    ~quiet_platform() override { install_platform(nullptr); }
};

// A red at the centre of a cell of the writer's colour reduction: it survives
// a GIF round trip unchanged.
inline constexpr colour red{0, 252, 2, 4};

// The picture drawn straight into the output area, one per frame; with the
// clock on GIFIN's control, frame k shows palette image k of the frames.
inline constexpr const char* show_effect =
    R"(<effect type="Standard" description="Shows the palette.">
  <description><title>Show all</title></description>
  <cpu id="clock"><out name="CONTROL.CPU" id="clock.out"></out></cpu>
  <GIFIN id="gifin"><in name="CONTROL.GIFIN" id="gifin.control" idref="clock.out"></in></GIFIN>
  <GIFOUT id="gifout"></GIFOUT>
</effect>)";

} // namespace zoetra::testing
