// Captions and holds through the renderer: the caption's two colours come
// back exactly in every frame in both colour modes, lossy and with fewer
// colours, and the holds are the file's delays.
#include "gif/animation_reader.hpp"
#include "raster/caption.hpp"
#include "run_command.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace zoetra::testing {
namespace {

std::string sample(const char* name) {
    return quoted(std::string(ZOETRA_SOURCE_DIR) + "/samples/" + name);
}

// The opaque pixels of exactly this colour in the frame's top rows.
long count_in_top_rows(buffer& frame, pixel colour, int rows) {
    buffer_lock hold(frame);
    const pixel* p = frame.pixels();
    return std::count(p, p + std::size_t(frame.width()) * std::min<int>(rows, frame.height()),
                      colour);
}

TEST(RendererCaption, TheCaptionStaysExactAndTheHoldsAreTheDelays) {
    if (!caption_font_available())
        GTEST_SKIP() << "no bold sans-serif font";
    const fs::path folder = scratch_folder("caption");
    const std::string out = (folder / "captioned.gif").string();
    const std::string common = renderer() +
                               " -q -e flag -n 4 -d 0.1 --caption HELLO --caption-bottom "
                               "THERE --hold-first 1 --hold-last 2.5 -o " +
                               quoted(out) + " ";
    for (const char* coding : {"", "--colours fine --lossy 100 --colours-max 16",
                               "--optimize --lossy 200 --colours-max 8"}) {
        SCOPED_TRACE(coding);
        command_result r = run(common + coding + " " + sample("photo.gif"));
        ASSERT_EQ(r.status, 0) << r.err;
        result<animation> read = read_animation(out);
        ASSERT_TRUE(read) << read.message();
        std::vector<std::uint16_t> delays;
        long white = -1;
        for (animation_frame& frame : read.value().frames) {
            delays.push_back(frame.delay);
            const long here = count_in_top_rows(*frame.picture, 0xFFFFFF, 60);
            EXPECT_GT(here, 100);
            // Every frame has the same caption, pixel for pixel.
            EXPECT_TRUE(white < 0 || here == white);
            white = here;
            EXPECT_GT(count_in_top_rows(*frame.picture, 0x000000, 60), 100);
        }
        EXPECT_EQ(delays, (std::vector<std::uint16_t>{100, 10, 10, 250}));
    }
    command_result refused = run(renderer() +
                                 " -q -e flag --size 16x16 --caption \"FAR TOO MANY WORDS FOR "
                                 "SO SMALL A FRAME\" -o " +
                                 quoted(out) + " " + sample("photo.gif"));
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("does not fit a 16 x 16 frame"), std::string::npos) << refused.err;
}

} // namespace
} // namespace zoetra::testing
