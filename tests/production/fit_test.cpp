// Fitting under a size limit: the limit's syntax, the quality measure, and
// the search's promises over random animations and limits.
#include "production/fit.hpp"
#include "raster/draw.hpp"
#include "raster/resample.hpp"

#include <gtest/gtest.h>

#include <random>

namespace zoetra {
namespace {

TEST(Fit, ByteSizesTakeSuffixesAndRefuseTheRest) {
    EXPECT_EQ(parse_byte_size("256K").value(), 256u * 1024);
    EXPECT_EQ(parse_byte_size("1.5m").value(), 1536u * 1024);
    EXPECT_EQ(parse_byte_size("5000").value(), 5000u);
    for (const char* bad :
         {"", "K", "12", "1023", "2000M", "-5K", "1e6", "5KB", "nanK", "inf", "1.2.3K"})
        EXPECT_FALSE(parse_byte_size(bad)) << bad;
    ASSERT_NE(find_fit_place("Discord-Emoji"), nullptr);
    EXPECT_EQ(find_fit_place("discord-emoji")->limit, 256u * 1024);
    EXPECT_EQ(find_fit_place("nowhere"), nullptr);
}

// Random frames: flat blocks and noise over a transparent margin.
std::vector<std::unique_ptr<buffer>> random_frames(std::mt19937& random, gif_size size, int count) {
    std::vector<std::unique_ptr<buffer>> frames;
    for (int k = 0; k < count; ++k) {
        auto frame = std::make_unique<buffer>(size.width, size.height, colour{});
        buffer_lock hold(*frame);
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x) {
                if (x < 2 || y < 2)
                    continue; // transparent
                const pixel block = pixel((x / 8 * 40 + y / 8 * 90 + k * 17) & 0xFF) * 0x010101u;
                frame->pixels()[std::size_t(y) * size.width + x] =
                    (x + y) % 3 == 0 ? pixel(random() & 0xFFFFFF) : block;
            }
        frames.push_back(std::move(frame));
    }
    return frames;
}

// A frame source over fixed frames: smaller variants are the frames
// resampled, fewer frames every step-th one.
struct fake_source {
    std::vector<std::unique_ptr<buffer>> base;
    std::vector<std::unique_ptr<buffer>> made;
    fit_frames frames;
    explicit fake_source(std::vector<std::unique_ptr<buffer>> frames_made)
        : base(std::move(frames_made)) {
        frames.make = [this](const frame_variant& v) -> result<std::vector<buffer*>> {
            made.clear();
            std::vector<buffer*> list;
            const int step = int((base.size() + std::size_t(v.frames) - 1) / std::size_t(v.frames));
            for (std::size_t k = 0; k < base.size(); k += std::size_t(step)) {
                buffer_lock hold(*base[k]);
                made.push_back(resample(*base[k], v.frame.width, v.frame.height));
                list.push_back(made.back().get());
            }
            return list;
        };
    }
};

TEST(Fit, TheQualityIsExactForAKnownErrorAndCountsTransparencyAsTheLargest) {
    std::mt19937 random(5);
    auto frames = random_frames(random, gif_size{20, 10}, 1);
    std::vector<buffer*> list{frames[0].get()};
    gif_writer writer;
    gif_encode_options exact;
    exact.colours = colour_mode::fine;
    ASSERT_TRUE(writer.open_in_memory(crop_origin{}, crop_size{20, 10}, 0));
    writer.write_frames(list, crop_origin{}, crop_size{20, 10}, 10);
    ASSERT_TRUE(writer.close());
    const std::vector<std::uint8_t> file = writer.memory_file();
    const double original = animation_psnr(file, list).value();
    EXPECT_GT(original, 20);
    // One opaque pixel made transparent in the reference: the largest error
    // over the pixels opaque in either.
    auto changed = frames[0]->copy();
    {
        buffer_lock hold(*changed);
        changed->pixels()[5 * 20 + 5] = transparent_flag;
    }
    std::vector<buffer*> other{changed.get()};
    EXPECT_LT(animation_psnr(file, other).value(), original);
    const std::uint8_t junk[] = {'G', 'I', 'F'};
    EXPECT_FALSE(animation_psnr(junk, list));
}

TEST(Fit, NeverOverTheLimitAndALooserLimitNeverGivesAWorsePicture) {
    std::mt19937 random(11);
    for (int round = 0; round < 2; ++round) {
        const gif_size size{std::uint16_t(24 + random() % 40), std::uint16_t(16 + random() % 30)};
        fake_source source(random_frames(random, size, 2 + int(random() % 4)));
        const frame_variant base{size, int(source.base.size()), 0.1};
        const fit_survey survey = survey_candidates(base, true, true, source.frames).value();
        for (int allowances = 0; allowances < 4; ++allowances) {
            double last_psnr = 0;
            for (std::uint32_t limit : {1100u, 1600u, 2500u, 5000u, 20000u, 200000u}) {
                const fit_request request{limit, (allowances & 1) != 0, (allowances & 2) != 0};
                const fit_outcome found = choose_candidate(survey, request);
                if (!found.fits) {
                    EXPECT_GT(found.smallest, limit);
                    EXPECT_EQ(last_psnr, 0) << "a tighter limit fitted";
                    continue;
                }
                EXPECT_LE(found.measure.bytes, limit);
                EXPECT_GE(found.measure.psnr, last_psnr) << "limit " << limit;
                last_psnr = found.measure.psnr;
                EXPECT_TRUE(request.may_shrink || found.chosen.variant.frame == base.frame);
                EXPECT_TRUE(request.may_drop_frames || found.chosen.variant.frames == base.frames);
                // The file the choice makes is the one measured.
                std::vector<buffer*> frames = source.frames.make(found.chosen.variant).value();
                gif_writer writer;
                writer.set_options(found.chosen.coding);
                const crop_size crop{found.chosen.variant.frame.width,
                                     found.chosen.variant.frame.height};
                ASSERT_TRUE(writer.open_in_memory(crop_origin{}, crop, 0));
                writer.write_frames(frames, crop_origin{}, crop,
                                    gif_delay_from_seconds(found.chosen.variant.delay));
                ASSERT_TRUE(writer.close());
                EXPECT_EQ(writer.size(), found.measure.bytes);
            }
            EXPECT_GT(last_psnr, 0) << "the loosest limit fits";
        }
    }
}

TEST(Fit, WhenNothingFitsTheAllowancesNotGivenAreMeasured) {
    std::mt19937 random(3);
    fake_source source(random_frames(random, gif_size{64, 48}, 4));
    const frame_variant base{gif_size{64, 48}, 4, 0.1};
    const fit_outcome found =
        fit_under(fit_request{1024, false, false}, base, source.frames).value();
    ASSERT_FALSE(found.fits);
    EXPECT_GT(found.smallest, 1024u);
    EXPECT_GT(found.smallest_shrunk, 0u);
    EXPECT_LT(found.smallest_shrunk, found.smallest);
    EXPECT_GT(found.smallest_fewer_frames, 0u);
    EXPECT_LT(found.smallest_fewer_frames, found.smallest);
}

TEST(Fit, TheOptionLineNamesTheCodingAndOnlyTheChangesOfTheFrames) {
    const frame_variant base{gif_size{128, 128}, 8, 0.5};
    fit_candidate chosen{base, {}};
    chosen.coding.colours = colour_mode::fine;
    chosen.coding.colours_max = 64;
    chosen.coding.lossy = 30;
    EXPECT_EQ(fit_option_line(chosen, base), "--colours fine --colours-max 64 --lossy 30");
    chosen.coding.colours = colour_mode::standard;
    chosen.coding.optimize = true;
    chosen.variant = frame_variant{gif_size{96, 96}, 4, 1};
    EXPECT_EQ(fit_option_line(chosen, base), "--colours standard --optimize --colours-max 64 "
                                             "--lossy 30 --size 96x96 --frames 4 --delay 1");
}

} // namespace
} // namespace zoetra
