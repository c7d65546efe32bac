// Every bundled effect, run by the renderer over every sample picture, must
// give an animation that three independent decoders (giflib, ImageMagick,
// ffmpeg) read alike: the frame count asked for (one for a still effect), the
// delay and the loop count, frames that show something, and frames that move.
#include "../gif/gif_support.hpp"
#include "base/utility.hpp"
#include "components/io/register.hpp"
#include "engine/context.hpp"
#include "engine/element.hpp"
#include "engine/factory.hpp"
#include "engine/script.hpp"
#include "production/studio.hpp"
#include "resources/resource.hpp"
#include "run_command.hpp"
#include <gif_lib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <set>
#include <sstream>

namespace zoetra::testing {
namespace {

// Kept small so that every effect meets every sample in a short run; three
// frames, because a quarter turn of a symmetric picture looks like no turn.
constexpr int frames_asked = 3;
constexpr const char* delay_asked = "0.07";
constexpr int delay_hundredths = 7;
constexpr int loops_asked = 2;

// The lines of a program's output that are not empty, each cut at tabs.
std::vector<std::vector<std::string>> lines_of(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        std::istringstream fields(line);
        if (!line.empty())
            lines.emplace_back();
        for (std::string field; !line.empty() && std::getline(fields, field, '\t');)
            lines.back().push_back(field);
    }
    return lines;
}

struct bundled_effect {
    std::string type, stem, title, description;
    bool still() const { return same_name(type, "still"); }
};

void PrintTo(const bundled_effect& e, std::ostream* out) {
    *out << e.stem;
}

// The catalogue as the renderer lists it: type, stem, title, description.
const std::vector<bundled_effect>& bundled_effects() {
    static const std::vector<bundled_effect> effects = [] {
        std::vector<bundled_effect> list;
        for (const auto& f : lines_of(run(renderer() + " --list").out))
            if (f.size() == 4)
                list.push_back({f[0], f[1], f[2], f[3]});
        return list;
    }();
    return effects;
}

// The files of a source folder with the given extension, sorted.
std::vector<fs::path> source_files(const char* folder, const char* extension) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(ZOETRA_SOURCE_DIR) / folder))
        if (entry.path().extension() == extension)
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// The numbers (in hundredths when scale is 100) starting each line of output.
std::vector<int> numbers_of(const std::string& output, double scale = 1) {
    std::vector<int> numbers;
    for (const auto& line : lines_of(output))
        numbers.push_back(int(std::lround(std::atof(line[0].c_str()) * scale)));
    return numbers;
}

using BundledEffect = ::testing::TestWithParam<bundled_effect>;

TEST_P(BundledEffect, EverySampleGivesAnAnimationThatEveryDecoderReadsAlike) {
    ASSERT_EQ(run("command -v identify && command -v ffprobe").status, 0)
        << "needs ImageMagick's identify and ffmpeg's ffprobe";
    const bundled_effect& e = GetParam();
    const fs::path folder = scratch_folder("effects/" + e.stem);
    const int expected = e.still() ? 1 : frames_asked;
    const auto samples = source_files("samples", ".gif");
    ASSERT_FALSE(samples.empty());
    for (const fs::path& sample : samples) {
        SCOPED_TRACE(e.stem + " on " + sample.filename().string());
        const fs::path path = folder / sample.filename();
        const std::string file = quoted(path.string());
        const std::string options = " -q -e " + quoted(e.stem) + " -n " +
                                    std::to_string(frames_asked) + " -d " + delay_asked + " -l " +
                                    std::to_string(loops_asked) + " " + quoted(sample);
        command_result made = run(renderer() + " -o " + file + options);
        ASSERT_EQ(made.status, 0) << made.err;

        command_result estimate = run(renderer() + " --estimate" + options);
        ASSERT_EQ(estimate.status, 0) << estimate.err;
        EXPECT_EQ(estimate.out, std::to_string(fs::file_size(path)) + "\n");

        const auto gif = test::giflib_decode(read_file<test::bytes>(path));
        ASSERT_TRUE(gif) << "giflib cannot read it";
        const std::vector<std::vector<pixel>> shown = test::compose_by_our_rules(*gif);
        ASSERT_EQ(int(shown.size()), expected);
        std::vector<int> delays;
        for (const test::giflib_frame& frame : gif->frames)
            delays.push_back(frame.delay);
        EXPECT_EQ(delays, std::vector<int>(std::size_t(expected), delay_hundredths));
        // Played twice: the first time, then one repeat.
        EXPECT_EQ(gif->repeats, loops_asked - 1);
        const std::size_t area = std::size_t(gif->width) * gif->height;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            // A network that draws nothing, or next to nothing: at least one
            // pixel in a hundred of the (cropped) frame is shown.
            const auto& f = shown[i];
            EXPECT_GE(std::size_t(std::count_if(f.begin(), f.end(), is_visible)) * 100, area) << i;
            if (i > 0) { // frames that move: at least one pixel in five hundred changes
                const std::size_t moved =
                    std::transform_reduce(f.begin(), f.end(), shown[i - 1].begin(), std::size_t(0),
                                          std::plus<>(), std::not_equal_to<>());
                EXPECT_GE(moved * 500, area) << "frames " << i - 1 << " and " << i << " look alike";
            }
        }

        // ImageMagick shows the number of plays, ffmpeg counts the frames it decodes.
        EXPECT_EQ(numbers_of(run("identify -format '%T\\n' " + file).out), delays);
        const std::string verbose = run("identify -verbose " + quoted(path.string() + "[0]")).out;
        const auto plays = verbose.find("Iterations:");
        EXPECT_EQ(plays == std::string::npos ? -1 : std::atoi(&verbose[plays + 11]), loops_asked);
        EXPECT_EQ(numbers_of(run("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                 "stream=nb_read_frames -of csv=p=0 " +
                                 file)
                                 .out),
                  std::vector<int>{expected});
        EXPECT_EQ(numbers_of(run("ffprobe -v error -select_streams v:0 -show_entries "
                                 "packet=duration_time -of csv=p=0 " +
                                 file)
                                 .out,
                             100),
                  delays);
    }
}

// Opaque pixels as 0xFF000000 | rgb, transparent ones as 0: as --frames-to
// wrote the frames made, or as a file shows them.
using shown_frames = std::vector<std::vector<std::uint32_t>>;

shown_frames source_frames(const fs::path& folder) {
    shown_frames frames;
    int width = 0, height = 0, count = 0;
    std::ifstream(folder / "info.txt") >> width >> height >> count;
    const std::size_t area = std::size_t(width) * height;
    for (int i = 0; i < count; ++i) {
        const std::string all = read_file(folder / format("frame_%03d.pam", i));
        const std::string rgba = all.size() >= area * 4 ? all.substr(all.size() - area * 4) : "";
        std::vector<std::uint32_t> frame(area, 0);
        for (std::size_t p = 0; p < area && !rgba.empty(); ++p) {
            const auto* px = reinterpret_cast<const unsigned char*>(rgba.data() + p * 4);
            if (px[3] != 0)
                frame[p] = 0xFF000000u | unsigned(px[0]) << 16 | unsigned(px[1]) << 8 | px[2];
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

shown_frames shown_by_giflib(const fs::path& path, std::vector<int>* delays = nullptr) {
    const auto gif = test::giflib_decode(read_file<test::bytes>(path));
    if (!gif)
        return {};
    shown_frames frames;
    for (const std::vector<pixel>& composed : test::compose_by_our_rules(*gif)) {
        frames.emplace_back();
        for (pixel p : composed)
            frames.back().push_back(is_visible(p) ? 0xFF000000u | (p & 0xFFFFFFu) : 0u);
    }
    if (delays != nullptr)
        for (const test::giflib_frame& frame : gif->frames)
            delays->push_back(frame.delay);
    return frames;
}

// --optimize shows the default pictures in a file never larger; fine colours
// keep transparency exact, stay near the source and keep still pixels still.
// Both estimate their exact size.
TEST_P(BundledEffect, OptimizedAndFineFilesShowTheirPicturesInTheSizeEstimated) {
    const bundled_effect& e = GetParam();
    const fs::path folder = scratch_folder("effects-fine/" + e.stem);
    for (const fs::path& sample : source_files("samples", ".gif")) {
        SCOPED_TRACE(e.stem + " on " + sample.filename().string());
        const std::string options = " -q -e " + quoted(e.stem) + " -n " +
                                    std::to_string(frames_asked) + " " + quoted(sample);
        const std::string stem = sample.stem().string();
        const fs::path plain = folder / (stem + ".plain.gif"),
                       optimized = folder / (stem + ".optimized.gif"),
                       fine = folder / (stem + ".fine.gif"), sources = folder / (stem + ".frames");
        fs::remove_all(sources);
        ASSERT_EQ(run(renderer() + " -o " + quoted(plain.string()) + " --frames-to " +
                      quoted(sources.string()) + options)
                      .status,
                  0);
        for (const auto& [file, mode] :
             {std::pair{optimized, " --optimize"}, std::pair{fine, " --colours fine"}}) {
            command_result made = run(renderer() + mode + " -o " + quoted(file.string()) + options);
            ASSERT_EQ(made.status, 0) << made.err;
            command_result estimate = run(renderer() + mode + " --estimate" + options);
            EXPECT_EQ(estimate.out, std::to_string(fs::file_size(file)) + "\n") << mode;
        }
        EXPECT_LE(fs::file_size(optimized), fs::file_size(plain));
        std::vector<int> plain_delays, optimized_delays;
        const shown_frames expected = shown_by_giflib(plain, &plain_delays);
        EXPECT_TRUE(shown_by_giflib(optimized, &optimized_delays) == expected)
            << "--optimize changed the pictures";
        EXPECT_EQ(optimized_delays, plain_delays);

        const shown_frames finer = shown_by_giflib(fine);
        const shown_frames source = source_frames(sources);
        ASSERT_EQ(finer.size(), source.size());
        double squared = 0;
        std::size_t channels = 0, still = 0, moved = 0;
        for (std::size_t i = 0; i < source.size(); ++i) {
            for (std::size_t p = 0; p < source[i].size(); ++p) {
                const std::uint32_t want = source[i][p], got = finer[i][p];
                ASSERT_EQ(want == 0, got == 0) << "frame " << i << " pixel " << p;
                for (int shift : {0, 8, 16}) {
                    const double d = double(want >> shift & 0xFF) - double(got >> shift & 0xFF);
                    squared += d * d;
                }
                channels += 3;
                if (i > 0 && want == source[i - 1][p]) {
                    ++still;
                    moved += got != finer[i - 1][p];
                }
            }
        }
        if (squared > 0) {
            EXPECT_GT(10 * std::log10(255.0 * 255.0 * double(channels) / squared), 30.0);
        }
        EXPECT_LE(moved * 1000, still) << "still pixels that flicker";
    }
}

std::string effect_test_name(const ::testing::TestParamInfo<bundled_effect>& info) {
    std::string name;
    for (char c : info.param.stem)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Catalogue, BundledEffect, ::testing::ValuesIn(bundled_effects()),
                         effect_test_name);

// ---- the catalogue as a whole ------------------------------------------------

// The two-digit prefix of a file name groups the effects by type (the
// catalogue, and so the SELECT EFFECT panel, lists them in file name order);
// every type has one row of buttons' worth, and every effect a title and a
// description of its own.
TEST(BundledEffects, EveryTypeHasARowOfNamedAndDescribedEffects) {
    const auto& effects = bundled_effects();
    ASSERT_GE(effects.size(), 24u);
    std::map<std::string, int> per_type;
    const char* type_by_prefix[] = {"", "Standard", "Wave", "Art", "Still"};
    for (const bundled_effect& e : effects) {
        ++per_type[e.type];
        const int group = e.stem[0] - '0';
        ASSERT_TRUE(group >= 1 && group <= 4) << e.stem;
        EXPECT_EQ(e.type, type_by_prefix[group]) << e.stem;
        EXPECT_TRUE(!e.title.empty() && e.title != e.stem) << e.stem << " has no title of its own";
        EXPECT_TRUE(!e.description.empty() && e.description != "no_description") << e.stem;
    }
    for (int group = 1; group <= 4; ++group) {
        EXPECT_GE(per_type[type_by_prefix[group]], 5) << type_by_prefix[group];
        EXPECT_LE(per_type[type_by_prefix[group]], 10) << type_by_prefix[group];
    }
}

// Every effect names its icon, and the build drew it into an archive of the
// data folder's Resources, at the size of the button's box.
TEST(BundledEffects, EveryIconIsInTheBuiltArchive) {
    const fs::path data = fs::path(ZOETRA_BINARY_DIR) / "share" / "zoetra";
    ASSERT_TRUE(fs::exists(data / "Resources" / "icons.rez"));
    context program(data);
    for (const fs::path& file : source_files("Effects", ".zoml")) {
        SCOPED_TRACE(file.filename().string());
        script effect(file.string(), program, program_factory());
        ASSERT_TRUE(effect.load());
        const std::string& icon = effect.desc().image_file;
        EXPECT_EQ(icon, file_stem(file.string()).substr(3) + ".gif");
        const gif_size size = program.resources().probe_gif_size("*" + icon);
        EXPECT_EQ(size.width, 44);
        EXPECT_EQ(size.height, 44);
    }
}

// The class words that hide a setting of the CREATE & SAVE panel: no bundled
// effect uses the GIF89 size (they all take the picture's size), and effects
// drawn at random in every frame have no direction.
TEST(BundledEffects, EveryEffectPassesTheCheckAndHasItsClassWords) {
    const std::set<std::string> random = {"30-brush",       "31-pen",     "32-stipple",
                                          "33-pointillism", "35-glitter", "36-glitch"};
    for (const bundled_effect& e : bundled_effects()) {
        SCOPED_TRACE(e.stem);
        command_result checked = run(renderer() + " --check " + quoted(e.stem));
        EXPECT_EQ(checked.status, 0) << checked.out;
        EXPECT_EQ(checked.out.find("problem:"), std::string::npos) << checked.out;
        const std::string head =
            read_file(fs::path(ZOETRA_SOURCE_DIR) / "Effects" / (e.stem + ".zoml")).substr(0, 200);
        EXPECT_NE(head.find("one_size"), std::string::npos);
        EXPECT_EQ(head.find("constant_frames") != std::string::npos, random.count(e.stem) == 1);
    }
}

// (Connections the loader refused and settings bound to nothing are the
// check's problems, above.) Every component type an effect may hold is used
// by some bundled effect: the test components and the matrix printer, which
// only writes to the console, are left out; so is "RANDOM INTEGER", which no
// tag of an effect file can spell (a tag ends at the first blank): files use
// its twin.
TEST(BundledEffects, TogetherTheyUseEveryComponentType) {
    const component_factory& table = program_factory();
    std::vector<bool> used(table.entries().size(), false);
    for (const fs::path& file : source_files("Effects", ".zoml")) {
        SCOPED_TRACE(file.filename().string());
        // The first entry that matches a tag is the one the loader creates.
        const element_tree tree = read_element_tree(read_file(file));
        ASSERT_TRUE(tree) << tree.message();
        for (const auto& child : tree.value()->children)
            for (std::size_t i = 0; i < table.entries().size(); ++i)
                if (same_name(table.entries()[i].name, child->tag)) {
                    used[i] = true;
                    break;
                }
    }
    for (std::size_t i = 0; i < used.size(); ++i) {
        const std::string& name = table.entries()[i].name;
        const bool exempt =
            name.rfind("TEST", 0) == 0 || name == "TEXT" || name.find(' ') != std::string::npos;
        EXPECT_TRUE(used[i] || exempt) << name << " is in no bundled effect";
    }
}

} // namespace
} // namespace zoetra::testing
