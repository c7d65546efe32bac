// Every bundled effect, run by the renderer over every sample picture, must
// give an animation that three independent decoders (giflib, ImageMagick,
// ffmpeg) read alike: the frame count asked for (one for a still effect), the
// delay and the loop count, frames that show something, and frames that move.
#include "app/services/utility.hpp"
#include "engine/element.hpp"
#include "engine/factory.hpp"
#include "engine/script.hpp"
#include "production/studio.hpp"

#include "run_command.hpp"
#include <gif_lib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zoetra {
namespace {
namespace fs = std::filesystem;

// Kept small so that every effect meets every sample in a short run; three
// frames, because a quarter turn of a symmetric picture looks like no turn.
constexpr int frames_asked = 3;
constexpr const char* delay_asked = "0.07";
constexpr int delay_hundredths = 7;
constexpr int loops_asked = 2;

using testing::command_result;
using testing::quoted;
using testing::renderer;
using testing::run;

bool tool_exists(const std::string& name) {
    return run("command -v " + name + " >/dev/null").status == 0;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

std::vector<std::string> fields_of(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream stream(line);
    for (std::string field; std::getline(stream, field, '\t');)
        fields.push_back(field);
    return fields;
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
        for (const std::string& line : lines_of(run(renderer() + " --list").out)) {
            std::vector<std::string> f = fields_of(line);
            if (f.size() == 4)
                list.push_back({f[0], f[1], f[2], f[3]});
        }
        return list;
    }();
    return effects;
}

std::vector<fs::path> sample_pictures() {
    std::vector<fs::path> samples;
    for (const auto& entry : fs::directory_iterator(fs::path(ZOETRA_SOURCE_DIR) / "samples"))
        if (entry.path().extension() == ".gif")
            samples.push_back(entry.path());
    std::sort(samples.begin(), samples.end());
    return samples;
}

fs::path scratch_folder(const std::string& name) {
    fs::path folder = fs::path(ZOETRA_BINARY_DIR) / "test-tmp" / "effects" / name;
    fs::create_directories(folder);
    return folder;
}

// ---- giflib: frames as they are shown ---------------------------------------

struct shown_animation {
    int width = 0, height = 0;
    int repeats = -1; // the loop extension's repeat count; -1 when none is written
    std::vector<int> delays;
    // Each frame as the viewer shows it, 0 where nothing is drawn, else
    // 0xFF000000 | rgb.
    std::vector<std::vector<std::uint32_t>> frames;
    std::string error;
};

int netscape_loop(const ExtensionBlock* blocks, int count) {
    for (int i = 0; i + 1 < count; ++i) {
        const ExtensionBlock& b = blocks[i];
        if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
            std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0) {
            const ExtensionBlock& data = blocks[i + 1];
            if (data.ByteCount >= 3 && data.Bytes[0] == 1)
                return data.Bytes[1] | (data.Bytes[2] << 8);
        }
    }
    return -1;
}

// Lays each image over the canvas left by the previous one, as a viewer
// does, honouring transparency and the disposal of the previous frame.
void compose(GifFileType& gif, shown_animation& shown) {
    std::vector<std::uint32_t> canvas(std::size_t(shown.width) * shown.height, 0);
    for (int i = 0; i < gif.ImageCount; ++i) {
        const SavedImage& image = gif.SavedImages[i];
        const GifImageDesc& d = image.ImageDesc;
        const ColorMapObject* colours = d.ColorMap ? d.ColorMap : gif.SColorMap;
        GraphicsControlBlock control{};
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(&gif, i, &control);
        shown.delays.push_back(control.DelayTime);
        std::vector<std::uint32_t> before = canvas;
        for (int y = 0; y < d.Height; ++y) {
            for (int x = 0; x < d.Width; ++x) {
                const int cx = d.Left + x, cy = d.Top + y;
                const int index = image.RasterBits[std::size_t(y) * d.Width + x];
                if (cx >= shown.width || cy >= shown.height || index == control.TransparentColor)
                    continue;
                if (colours == nullptr || index >= colours->ColorCount) {
                    shown.error = "a pixel outside the colour table";
                    return;
                }
                const GifColorType c = colours->Colors[index];
                canvas[std::size_t(cy) * shown.width + cx] =
                    0xFF000000u | (unsigned(c.Red) << 16) | (unsigned(c.Green) << 8) | c.Blue;
            }
        }
        shown.frames.push_back(canvas);
        if (control.DisposalMode == DISPOSE_BACKGROUND) {
            for (int y = d.Top; y < std::min(shown.height, d.Top + d.Height); ++y)
                for (int x = d.Left; x < std::min(shown.width, d.Left + d.Width); ++x)
                    canvas[std::size_t(y) * shown.width + x] = 0;
        } else if (control.DisposalMode == DISPOSE_PREVIOUS) {
            canvas = before;
        }
    }
}

shown_animation read_with_giflib(const fs::path& file) {
    shown_animation shown;
    int error = 0;
    auto close = [](GifFileType* g) {
        int ignored = 0;
        DGifCloseFile(g, &ignored);
    };
    std::unique_ptr<GifFileType, decltype(close)> gif(DGifOpenFileName(file.c_str(), &error),
                                                      close);
    if (!gif) {
        shown.error = GifErrorString(error);
        return shown;
    }
    if (DGifSlurp(gif.get()) != GIF_OK) {
        shown.error = GifErrorString(gif->Error);
        return shown;
    }
    shown.width = gif->SWidth;
    shown.height = gif->SHeight;
    if (gif->ImageCount > 0)
        shown.repeats = netscape_loop(gif->SavedImages[0].ExtensionBlocks,
                                      gif->SavedImages[0].ExtensionBlockCount);
    if (shown.repeats < 0)
        shown.repeats = netscape_loop(gif->ExtensionBlocks, gif->ExtensionBlockCount);
    compose(*gif, shown);
    return shown;
}

std::size_t visible_pixels(const std::vector<std::uint32_t>& frame) {
    return std::size_t(std::count_if(frame.begin(), frame.end(), [](auto p) { return p != 0; }));
}

std::size_t differing_pixels(const std::vector<std::uint32_t>& a,
                             const std::vector<std::uint32_t>& b) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        n += a[i] != b[i];
    return n;
}

// ---- ImageMagick and ffmpeg --------------------------------------------------

struct reading {
    int frames = 0;
    std::vector<int> delays; // hundredths
    int plays = -1;          // how many times the animation plays, as the decoder tells it
};

reading read_with_imagemagick(const fs::path& file) {
    reading r;
    for (const std::string& line : lines_of(run("identify -format '%T\\n' " + quoted(file)).out)) {
        ++r.frames;
        r.delays.push_back(std::atoi(line.c_str()));
    }
    const std::string verbose = run("identify -verbose " + quoted(file.string() + "[0]")).out;
    if (auto at = verbose.find("Iterations:"); at != std::string::npos)
        r.plays = std::atoi(verbose.c_str() + at + std::strlen("Iterations:"));
    return r;
}

reading read_with_ffmpeg(const fs::path& file) {
    reading r;
    const std::string counted = run("ffprobe -v error -count_frames -select_streams v:0 "
                                    "-show_entries stream=nb_read_frames -of csv=p=0 " +
                                    quoted(file))
                                    .out;
    r.frames = std::atoi(counted.c_str());
    for (const std::string& line : lines_of(run("ffprobe -v error -select_streams v:0 "
                                                "-show_entries packet=duration_time "
                                                "-of csv=p=0 " +
                                                quoted(file))
                                                .out))
        r.delays.push_back(int(std::lround(std::atof(line.c_str()) * 100)));
    return r;
}

// ---- the renders -------------------------------------------------------------

std::string render_options(const bundled_effect& e, const fs::path& sample, int frames) {
    return " -q -e " + quoted(e.stem) + " -n " + std::to_string(frames) + " -d " + delay_asked +
           " -l " + std::to_string(loops_asked) + " " + quoted(sample);
}

class BundledEffect : public ::testing::TestWithParam<bundled_effect> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tool_exists("identify")) << "ImageMagick's identify is needed";
        ASSERT_TRUE(tool_exists("ffprobe")) << "ffmpeg's ffprobe is needed";
    }
};

TEST_P(BundledEffect, EverySampleGivesAnAnimationThatEveryDecoderReadsAlike) {
    const bundled_effect& e = GetParam();
    const fs::path folder = scratch_folder(e.stem);
    const int expected = e.still() ? 1 : frames_asked;
    const auto samples = sample_pictures();
    ASSERT_FALSE(samples.empty());
    for (const fs::path& sample : samples) {
        SCOPED_TRACE(e.stem + " on " + sample.filename().string());
        const fs::path file = folder / sample.filename();
        const std::string options = render_options(e, sample, frames_asked);
        command_result made = run(renderer() + " -o " + quoted(file) + options);
        ASSERT_EQ(made.status, 0) << made.err;

        command_result estimate = run(renderer() + " --estimate" + options);
        ASSERT_EQ(estimate.status, 0) << estimate.err;
        EXPECT_EQ(estimate.out, std::to_string(fs::file_size(file)) + "\n");

        shown_animation shown = read_with_giflib(file);
        ASSERT_EQ(shown.error, "");
        ASSERT_EQ(int(shown.frames.size()), expected);
        EXPECT_EQ(shown.delays, std::vector<int>(std::size_t(expected), delay_hundredths));
        // Played twice: the first time, then one repeat.
        EXPECT_EQ(shown.repeats, loops_asked - 1);
        const std::size_t area = std::size_t(shown.width) * shown.height;
        for (std::size_t i = 0; i < shown.frames.size(); ++i) {
            // A network that draws nothing, or next to nothing: at least one
            // pixel in a hundred of the (cropped) frame is shown.
            EXPECT_GE(visible_pixels(shown.frames[i]) * 100, area) << "frame " << i;
            // Frames that move: at least one pixel in five hundred changes.
            if (i > 0) {
                EXPECT_GE(differing_pixels(shown.frames[i - 1], shown.frames[i]) * 500, area)
                    << "frames " << i - 1 << " and " << i << " look alike";
            }
        }

        reading magick = read_with_imagemagick(file);
        EXPECT_EQ(magick.frames, expected);
        EXPECT_EQ(magick.delays, shown.delays);
        EXPECT_EQ(magick.plays, loops_asked);

        reading ffmpeg = read_with_ffmpeg(file);
        EXPECT_EQ(ffmpeg.frames, expected);
        EXPECT_EQ(ffmpeg.delays, shown.delays);
    }
}

// Opaque pixels as 0xFF000000 | rgb, or 0; the frames that --frames-to wrote.
std::vector<std::vector<std::uint32_t>> source_frames(const fs::path& folder) {
    std::vector<std::vector<std::uint32_t>> frames;
    int width = 0, height = 0, count = 0;
    std::ifstream(folder / "info.txt") >> width >> height >> count;
    auto body = [](const fs::path& file, std::size_t size) {
        std::ifstream in(file, std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return all.size() >= size ? all.substr(all.size() - size) : std::string();
    };
    const std::size_t area = std::size_t(width) * height;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%03d.pam", i);
        const std::string rgba = body(folder / name, area * 4);
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

// --optimize shows the default pictures in a file never larger; fine colours
// keep transparency exact, stay near the source and keep still pixels still.
// Both estimate their exact size.
TEST_P(BundledEffect, OptimizedAndFineFilesShowTheirPicturesInTheSizeEstimated) {
    const bundled_effect& e = GetParam();
    const fs::path folder = scratch_folder(e.stem);
    for (const fs::path& sample : sample_pictures()) {
        SCOPED_TRACE(e.stem + " on " + sample.filename().string());
        const std::string options = render_options(e, sample, frames_asked);
        const std::string stem = sample.stem().string();
        const fs::path plain = folder / (stem + ".plain.gif"),
                       optimized = folder / (stem + ".optimized.gif"),
                       fine = folder / (stem + ".fine.gif"), sources = folder / (stem + ".frames");
        fs::remove_all(sources);
        ASSERT_EQ(
            run(renderer() + " -o " + quoted(plain) + " --frames-to " + quoted(sources) + options)
                .status,
            0);
        for (const auto& [file, mode] :
             {std::pair{optimized, " --optimize"}, std::pair{fine, " --colours fine"}}) {
            command_result made = run(renderer() + mode + " -o " + quoted(file) + options);
            ASSERT_EQ(made.status, 0) << made.err;
            command_result estimate = run(renderer() + mode + " --estimate" + options);
            EXPECT_EQ(estimate.out, std::to_string(fs::file_size(file)) + "\n") << mode;
        }
        EXPECT_LE(fs::file_size(optimized), fs::file_size(plain));
        const shown_animation expected = read_with_giflib(plain);
        const shown_animation smaller = read_with_giflib(optimized);
        EXPECT_EQ(smaller.error, "");
        EXPECT_TRUE(smaller.frames == expected.frames) << "--optimize changed the pictures";
        EXPECT_EQ(smaller.delays, expected.delays);

        const shown_animation finer = read_with_giflib(fine);
        const auto source = source_frames(sources);
        ASSERT_EQ(finer.frames.size(), source.size());
        double squared = 0;
        std::size_t channels = 0, still = 0, moved = 0;
        for (std::size_t i = 0; i < source.size(); ++i) {
            for (std::size_t p = 0; p < source[i].size(); ++p) {
                const std::uint32_t want = source[i][p], got = finer.frames[i][p];
                ASSERT_EQ(want == 0, got == 0) << "frame " << i << " pixel " << p;
                for (int shift : {0, 8, 16}) {
                    const double d = double(want >> shift & 0xFF) - double(got >> shift & 0xFF);
                    squared += d * d;
                }
                channels += 3;
                if (i > 0 && want == source[i - 1][p]) {
                    ++still;
                    moved += got != finer.frames[i - 1][p];
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

TEST(BundledEffects, EveryKindIsThereAndEveryEffectIsNamedAndDescribed) {
    const auto& effects = bundled_effects();
    ASSERT_GE(effects.size(), 8u);
    std::set<std::string> kinds;
    for (const bundled_effect& e : effects) {
        SCOPED_TRACE(e.stem);
        EXPECT_FALSE(e.title.empty());
        EXPECT_NE(e.title, e.stem) << "no title of its own";
        EXPECT_NE(e.description, "no_description");
        EXPECT_FALSE(e.description.empty());
        kinds.insert(e.type);
    }
    for (const char* kind : {"Standard", "Wave", "Art", "Still"})
        EXPECT_TRUE(kinds.count(kind)) << kind;
}

TEST(BundledEffects, StillEffectsMakeOneFrameEvenWhenAskedForMore) {
    const fs::path folder = scratch_folder("still-five");
    int stills = 0;
    for (const bundled_effect& e : bundled_effects()) {
        if (!e.still())
            continue;
        ++stills;
        const fs::path file = folder / (e.stem + ".gif");
        const fs::path sample = fs::path(ZOETRA_SOURCE_DIR) / "samples" / "logo.gif";
        command_result made =
            run(renderer() + " -o " + quoted(file) + render_options(e, sample, 5));
        ASSERT_EQ(made.status, 0) << e.stem << ": " << made.err;
        shown_animation shown = read_with_giflib(file);
        ASSERT_EQ(shown.error, "") << e.stem;
        EXPECT_EQ(shown.frames.size(), 1u) << e.stem;
    }
    EXPECT_GT(stills, 0);
}

std::vector<fs::path> effect_files() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(ZOETRA_SOURCE_DIR) / "Effects"))
        if (entry.path().extension() == ".zoml")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// The loader refuses a connection without a word (two inputs sharing an id,
// an input whose own id names another port first), and binds a setting to
// nothing when its idref names no setting; the animation may still move and
// show something, only wrongly. So every input that names a source is
// connected, and every setting that names a partner has one.
TEST(BundledEffects, EveryConnectionAndEverySettingBindingTakes) {
    for (const fs::path& file : effect_files()) {
        SCOPED_TRACE(file.filename().string());
        script effect(file.string(), 1.0, program_factory());
        std::string error;
        ASSERT_TRUE(effect.load(error)) << error;
        for (const port* p : effect.ports()) {
            if (p->desc().class_name == "PRT_IN" && p->desc().has_idref()) {
                EXPECT_TRUE(p->connected()) << p->owner()->desc().id << ": " << p->name()
                                            << " listening to " << p->desc().idref;
            }
        }
        std::set<std::string> ids;
        for (const config* c : effect.configs())
            ids.insert(c->desc().id);
        for (const config* c : effect.configs()) {
            if (c->desc().has_idref()) {
                EXPECT_TRUE(ids.count(c->desc().idref))
                    << c->desc().name << " names no setting \"" << c->desc().idref << "\"";
            }
        }
    }
}

// Every component type an effect may hold is used by some bundled effect.
// The test components and the matrix printer, which only writes to the
// console, are left out; so is "RANDOM INTEGER", which no tag of an effect
// file can spell (a tag ends at the first blank): files use its twin.
TEST(BundledEffects, TogetherUseEveryComponentType) {
    const component_factory table;
    std::vector<bool> used(table.entries().size(), false);
    for (const fs::path& file : effect_files()) {
        std::ifstream in(file, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        element_tree tree = read_element_tree(text);
        ASSERT_TRUE(tree.root) << file << ": " << tree.error;
        for (const auto& child : tree.root->children) {
            // The first entry that matches is the one the loader creates.
            for (std::size_t i = 0; i < table.entries().size(); ++i) {
                if (same_name(table.entries()[i].name, child->tag)) {
                    used[i] = true;
                    break;
                }
            }
        }
    }
    for (std::size_t i = 0; i < used.size(); ++i) {
        const std::string& name = table.entries()[i].name;
        const bool exempt =
            name.rfind("TEST", 0) == 0 || name == "TEXT" || name.find(' ') != std::string::npos;
        if (!exempt) {
            EXPECT_TRUE(used[i]) << name << " is in no bundled effect";
        }
    }
}

} // namespace
} // namespace zoetra
