// The renderer's options, and the renderer run as a user runs it: errors and
// their exit statuses, effect checks, memory budgets, progress, and stills.
#include "../gif/still_files.hpp"
#include "../support/animations.hpp"
#include "cli/options.hpp"
#include "gif/decoder.hpp"
#include "raster/caption.hpp"
#include "run_command.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <tuple>

namespace zoetra::cli {
namespace {

// The words of a command line (no quoting).
std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), {}};
}

TEST(RendererOptions, ReadsEveryOptionInBothForms) {
    auto o = parse_options(words("-e flag --output=x.gif -n 12 -d 0.25 --loop 3 --direction "
                                 "back-and-forth --size=large -s 2 --set cube:CAM.PHI=30 --set "
                                 "SIZE=1,2 -q --colours=fine --optimize --lossy 40 "
                                 "--colours-max=16 --frames-to frames a.gif b.gif"));
    ASSERT_TRUE(o) << o.message();
    EXPECT_EQ(std::tuple(o->effect, o->output, o->frames, o->delay, o->loop),
              std::tuple("flag", "x.gif", 12, 0.25, 3));
    EXPECT_EQ(std::tuple(o->direction, o->size, o->select, o->colours, o->frames_to),
              std::tuple("back-and-forth", "large", 2, "fine", "frames"));
    ASSERT_EQ(o->settings.size(), 2u);
    EXPECT_EQ(o->settings[0].name, "cube:CAM.PHI");
    EXPECT_EQ(o->settings[1].values, "1,2");
    EXPECT_TRUE(o->quiet && o->optimize);
    EXPECT_EQ(std::tuple(o->lossy, o->colours_max), std::tuple(40, 16));
    EXPECT_EQ(o->images, (std::vector<std::string>{"a.gif", "b.gif"}));
}

TEST(RendererOptions, RefusesMalformedCommandLines) {
    const std::vector<std::vector<std::string>> bad = {
        {},                      // no image
        {"-n"},                  // a value is missing
        {"-n", "many", "a.gif"}, // not a number
        {"--frames=1.5", "a.gif"},
        {"-d", "nan", "a.gif"},
        {"--set", "=3", "a.gif"},
        {"--set", "NAME", "a.gif"},
        {"--bogus", "a.gif"},
        {"--list=yes"},
        {"--optimize=yes", "a.gif"},
        {"--colours"},
    };
    for (const auto& args : bad) {
        const auto parsed = parse_options(args);
        EXPECT_FALSE(parsed) << (args.empty() ? "" : args[0]);
        EXPECT_FALSE(parsed.message().empty());
    }
    EXPECT_TRUE(parse_options({"--list"}));
    EXPECT_TRUE(parse_options({"--", "-odd-name.gif"}));
}

using testing::command_result;

class RendererRun : public ::testing::Test {
  protected:
    RendererRun() {
        folder_ = std::filesystem::path(ZOETRA_BINARY_DIR) / "test-tmp" / "cli" /
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(folder_);
    }

    command_result run(const std::string& arguments) {
        return testing::run(testing::renderer() + " " + arguments);
    }
    std::string sample(const char* name) {
        return std::string(ZOETRA_SOURCE_DIR) + "/samples/" + name;
    }
    std::string path(const char* name) { return (folder_ / name).string(); }

    std::filesystem::path folder_;
};

TEST_F(RendererRun, ReportsUsageErrorsBadInputAndFailingEffects) {
    std::ofstream(path("fake.gif")) << "not a picture";
    const std::string cmyk = test::write_jpeg(path("cmyk.jpg"), 8, 8,
                                              std::vector<std::uint8_t>(8 * 8 * 4, 50), JCS_CMYK);
    const std::string icon = " " + sample("icon.gif");
    const struct {
        std::string arguments;
        int status;
        const char* said;
    } cases[] = {
        {"", 1, ""},
        {"--frames", 1, ""},
        {"-q " + path("nothing-here.gif"), 2, "does not exist"},
        {"-q " + path("fake.gif"), 2, "fake.gif\" is not a GIF, PNG or JPEG picture"},
        {"-e no-such-effect" + icon, 2, "no-such-effect"},
        {"-n 40" + icon, 2, "out of its range 1 to 32"},
        {"-e flag --set NOPE=1" + icon, 2, "no public setting \"NOPE\""},
        {"-e flag --set wave:MODE=SPIRAL" + icon, 2, "LINEAR, RADIAL"},
        {"-s 3" + icon, 2, ""},
        {"--colours purple" + icon, 2, "standard, fine"},
        {"--lossy 201" + icon, 2, "--lossy 201 is out of its range 0 to 200"},
        {"--colours-max 1" + icon, 2, "--colours-max 1 is out of its range 2 to 256"},
        {"--lossy=much" + icon, 1, "needs a whole number"},
        {"-q " + cmyk, 2, "cmyk.jpg\" cannot be used: CMYK and YCCK JPEG images are not read"},
    };
    for (const auto& c : cases) {
        const command_result r = run(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << c.arguments << ": " << r.err;
    }
    std::ofstream(path("fails.zoml"))
        << "<e type=Standard><cpu></cpu><GIFIN></GIFIN><TEST_FAIL_PREPARE></TEST_FAIL_PREPARE>"
           "<GIFOUT></GIFOUT></e>";
    command_result failing = run("-e " + path("fails.zoml") + " " + sample("icon.gif"));
    EXPECT_EQ(failing.status, 3);
    EXPECT_NE(failing.err.find("com_test failed prepare"), std::string::npos);
}

TEST_F(RendererRun, ListsAndDescribesEffectsAndTakesSettingsByTitle) {
    command_result list = run("--list");
    ASSERT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("Wave\t20-flag\tFlag\t"), std::string::npos);
    command_result describe = run("--describe Flag");
    ASSERT_EQ(describe.status, 0);
    EXPECT_NE(describe.out.find("cube:CAM.PHI  \"TILT\"  = 0  (-180..180 step 5)"),
              std::string::npos);
    command_result titled = run(
        "-e flag -n 2 --set TILT=40 --set \"MOTION ANGLE=90\" -q --estimate " + sample("icon.gif"));
    EXPECT_EQ(titled.status, 0) << titled.err;
    command_result untilted =
        run("-e flag -n 2 --set \"MOTION ANGLE=90\" -q --estimate " + sample("icon.gif"));
    EXPECT_NE(titled.out, untilted.out); // the tilt reached the standing camera
}

// --lossy and --colours-max reach the writer: each makes the file smaller,
// and the estimate is still the file's size.
TEST_F(RendererRun, LossyCodingAndFewerColoursMakeSmallerFilesOfTheSizeEstimated) {
    const std::string picture = " -q -e 22-pond -n 3 " + sample("photo.gif");
    std::uintmax_t plain = 0;
    for (const char* options : {"", " --lossy 100", " --colours-max 32 --optimize",
                                " --lossy 60 --colours-max 100 --colours fine"}) {
        SCOPED_TRACE(options);
        const std::string file = path("made.gif");
        ASSERT_EQ(run(std::string(options) + " -o " + file + picture).status, 0);
        const std::uintmax_t size = std::filesystem::file_size(file);
        EXPECT_EQ(run(std::string(options) + " --estimate" + picture).out,
                  std::to_string(size) + "\n");
        if (*options == 0)
            plain = size;
        else
            EXPECT_LT(size, plain);
    }
}

// --check holds each broken effect to its report: the line that names the
// place, and the exit status 3; inputs left alone on purpose are notes only.
// (The engine's tests go through every kind of place the loader passes over.)
TEST_F(RendererRun, CheckReportsWhatTheLoaderPassedOver) {
    const std::string head = "<effect type=Standard><cpu id=clock><out name=CONTROL.CPU "
                             "id=clock.out></out></cpu><GIFIN id=gifin><valuelist name=SIZE "
                             "id=gifin.size></valuelist><out name=RED.OUT id=red></out></GIFIN>";
    const std::string tail = "<GIFOUT></GIFOUT></effect>";
    struct broken {
        const char* name;
        std::string body;
        const char* line;
    } cases[] = {
        {"two_listeners",
         "<INVERSE id=a><in name=IN id=a.in idref=red></in></INVERSE>"
         "<INVERSE id=b><in name=IN id=b.in idref=red></in></INVERSE>",
         "problem: <INVERSE id=\"b\">: IN \"b.in\" from \"red\": destination port already "
         "connected"},
        // Without ids of their own both inputs are called "IN": the first is asked twice.
        {"no_own_id",
         "<INVERSE id=a><in name=IN idref=red></in></INVERSE>"
         "<INVERSE id=b><in name=IN idref=clock.out></in></INVERSE>",
         "problem: <INVERSE id=\"b\">: IN \"IN\" from \"clock.out\": its id is an earlier "
         "port's too, and that port refused: source port already connected"},
        {"typo_port", "<WAVE id=w><in name=CONTROL.WAV idref=clock.out></in></WAVE>",
         "problem: <WAVE id=\"w\">: <in name=\"CONTROL.WAV\">: WAVE has no port of that name"},
    };
    for (const broken& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = path((std::string(c.name) + ".zoml").c_str());
        std::ofstream(file) << head << c.body << tail;
        command_result checked = run("--check " + file);
        EXPECT_EQ(checked.status, 3) << checked.err;
        EXPECT_NE(checked.out.find(c.line), std::string::npos) << checked.out;
        EXPECT_NE(checked.out.find(std::string(c.name) + ": 1 problem, "), std::string::npos)
            << checked.out;
    }
    const std::string clean = path("clean.zoml");
    std::ofstream(clean) << head << "<WAVE id=w><valuelist name=SIZE idref=gifin.size>"
                         << "</valuelist></WAVE>" << tail;
    command_result checked = run("--check " + clean);
    EXPECT_EQ(checked.status, 0) << checked.err;
    EXPECT_NE(checked.out.find("note: <WAVE id=\"w\">: CONTROL.WAVE is not connected"),
              std::string::npos)
        << checked.out;
    EXPECT_NE(checked.out.find("clean: 0 problems, "), std::string::npos);
    EXPECT_EQ(run("--check " + path("nowhere.zoml")).status, 2);
}

TEST_F(RendererRun, AnEffectFileInTheUsersFolderIsFoundByItsName) {
    std::filesystem::copy_file(std::string(ZOETRA_SOURCE_DIR) + "/Effects/40-show.zoml",
                               path("my.zoml"), std::filesystem::copy_options::overwrite_existing);
    command_result found =
        testing::run("cd " + testing::quoted(folder_.string()) + " && " + testing::renderer() +
                     " -e my.zoml -q --estimate " + sample("icon.gif"));
    EXPECT_EQ(found.status, 0) << found.err;
}

TEST_F(RendererRun, FatalErrorsSayWhyAndExitWithTheirOwnStatus) {
    std::filesystem::create_directories(folder_ / "empty" / "Effects");
    command_result none = testing::run("ZOETRA_DATA_DIR=" + testing::quoted(path("empty")) + " " +
                                       testing::renderer() + " -q " + sample("icon.gif"));
    EXPECT_EQ(none.status, 4);
    EXPECT_NE(none.err.find("I was unable to locate Effects for Zoetra."), std::string::npos);
    command_result starved = testing::run("ZOETRA_HEAP_BUDGET=100000 " + testing::renderer() +
                                          " -q -o " + path("x.gif") + " " + sample("photo.gif"));
    EXPECT_EQ(starved.status, 4);
    EXPECT_NE(starved.err.find("I'm sorry. I have run out of memory. B-bye"), std::string::npos);
}

// Under a shrinking heap budget every run either saves the very file an
// unlimited run saves, or stops with the out-of-memory message. Making a
// frame needs the network, the output canvas and the new frame; saving needs
// the network, the writer's tools and one frame back from disk, which is more
// since the canvas is only as large as the output: so a run may make its
// frames and still stop while saving, at budgets a little above what making
// needs.
TEST_F(RendererRun, WhateverCanBeMadeUnderAHeapBudgetIsSavedUnchanged) {
    const std::string arguments = "-e flag -n 32 " + sample("photo.gif") + " -o ";
    ASSERT_EQ(run("-q " + arguments + path("free.gif")).status, 0);
    const std::string expected = testing::read_file(path("free.gif"));
    int saved = 0;
    for (int budget = 6000000; budget >= 1000000; budget -= 250000) {
        std::filesystem::remove(path("budget.gif"));
        command_result r = testing::run("ZOETRA_HEAP_BUDGET=" + std::to_string(budget) + " " +
                                        testing::renderer() + " " + arguments + path("budget.gif"));
        if (r.status == 0) {
            ++saved;
            EXPECT_EQ(testing::read_file(path("budget.gif")), expected) << budget;
            continue;
        }
        EXPECT_EQ(r.status, 4) << budget;
        EXPECT_NE(r.err.find("I'm sorry. I have run out of memory. B-bye"), std::string::npos)
            << budget;
    }
    EXPECT_GE(saved, 17); // down to 2 MB, where the frames go to disk
}

TEST_F(RendererRun, ProgressIsOneLineOnATerminalAndLinesOtherwiseEndingInASummary) {
    const std::string arguments =
        "-e flag -n 3 -d 0.2 " + sample("icon.gif") + " -o " + path("p.gif");
    command_result lines = run(arguments);
    ASSERT_EQ(lines.status, 0) << lines.err;
    EXPECT_NE(lines.err.find("Creating frame 2 of 3.\n"), std::string::npos);
    EXPECT_NE(lines.err.find("Saving gif89 frame 1 of 3 with delay of 0.20 seconds"),
              std::string::npos);
    const std::string summary = "The animation went to " + path("p.gif") + " (3 frames, " +
                                std::to_string(std::filesystem::file_size(path("p.gif"))) +
                                " bytes).\n";
    EXPECT_TRUE(lines.err.ends_with(summary)) << lines.err;
    EXPECT_EQ(lines.err.find("\r"), std::string::npos);

    // script(1) gives the renderer a terminal; what it wrote comes back on
    // standard output, with the terminal's line ends.
    command_result terminal =
        testing::run("script -qec \"" + testing::renderer() + " " + arguments + "\" /dev/null");
    ASSERT_EQ(terminal.status, 0) << terminal.err;
    EXPECT_NE(terminal.out.find("\r\033[KCreating frame 2 of 3."), std::string::npos);
    EXPECT_EQ(terminal.out.find("Creating frame 2 of 3.\r\n"), std::string::npos);
    EXPECT_NE(terminal.out.find("The animation went to"), std::string::npos);

    EXPECT_EQ(run("-q " + arguments).err, "");
}

// The same picture as PNG and as GIF gives the same animation, byte for byte.
TEST_F(RendererRun, APngRendersAsTheGifWithTheSamePixels) {
    // The sample (with transparent pixels) as a PNG, alpha 0 where it is transparent.
    std::unique_ptr<buffer> logo = load_gif(sample("logo.gif"));
    ASSERT_TRUE(logo);
    std::vector<std::uint8_t> rgba;
    {
        buffer_lock hold(*logo);
        const pixel* p = logo->pixels();
        for (std::size_t i = 0; i < std::size_t(logo->width()) * logo->height(); ++i)
            rgba.insert(rgba.end(), {std::uint8_t(p[i] >> 16), std::uint8_t(p[i] >> 8),
                                     std::uint8_t(p[i]), std::uint8_t(is_visible(p[i]) ? 255 : 0)});
    }
    const std::string png = test::write_png(path("logo.png"), logo->width(), logo->height(), rgba);
    for (const char* effect : {"flag", "mosaic"}) {
        SCOPED_TRACE(effect);
        const std::string options = std::string("-q -n 3 -e ") + effect + " -o ";
        command_result from_gif = run(options + path("from_gif.gif") + " " + sample("logo.gif"));
        ASSERT_EQ(from_gif.status, 0) << from_gif.err;
        command_result from_png = run(options + path("from_png.gif") + " " + png);
        ASSERT_EQ(from_png.status, 0) << from_png.err;
        EXPECT_TRUE(testing::read_file(path("from_gif.gif")) ==
                    testing::read_file(path("from_png.gif")));
    }
}

// An animated GIF taken whole: the picture as it is gives its frames and
// delays back, unless a delay is given; captions go over every frame.
TEST_F(RendererRun, FramesFromAnAnimationComeBackWithTheirDelays) {
    const std::string moving = testing::write_animation(
        path("moving.gif"), 160, 120,
        {colour{0, 252, 2, 4}, colour{0, 4, 250, 4}, colour{0, 4, 2, 252}}, {10, 20, 30});
    const testing::frames_read source = testing::read_frames(moving);
    using delays = std::vector<std::uint16_t>;
    const std::string out = path("out.gif");
    command_result shown = run("-q -e 40-show --frames-from " + moving + " -o " + out);
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.err, "");
    testing::frames_read made = testing::read_frames(out);
    EXPECT_EQ(made.middles, source.middles);
    EXPECT_EQ(made.delays, (delays{10, 20, 30}));

    ASSERT_EQ(run("-q -e 40-show -d 0.5 --frames-from " + moving + " -o " + out).status, 0);
    EXPECT_EQ(testing::read_frames(out).delays, (delays{50, 50, 50}));
    // With other pictures it comes first and is the one taken.
    ASSERT_EQ(run("-q -e 40-show --frames-from " + moving + " " + sample("icon.gif") + " -o " + out)
                  .status,
              0);
    EXPECT_EQ(testing::read_frames(out).middles, source.middles);
    if (caption_font_available()) {
        command_result captioned = run(
            "-q -e 40-show --caption HELLO --colours fine --frames-from " + moving + " -o " + out);
        ASSERT_EQ(captioned.status, 0) << captioned.err;
        made = testing::read_frames(out);
        EXPECT_EQ(made.delays, (delays{10, 20, 30}));
        EXPECT_EQ(made.middles.size(), 3u);
    }

    command_result still = run("-q --frames-from " + sample("icon.gif") + " -o " + out);
    EXPECT_EQ(still.status, 2);
    EXPECT_NE(still.err.find("holds one frame"), std::string::npos) << still.err;
    std::vector<colour> many(40, colour{0, 252, 2, 4});
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i] = colour{0, std::uint8_t(i % 4 * 80), std::uint8_t(i / 4 % 4 * 80),
                         std::uint8_t(i / 16 * 80)};
    const std::string long_one =
        testing::write_animation(path("long.gif"), 8, 8, many, delays(40, 5));
    command_result sampled = run("-q -e 40-show --frames-from " + long_one + " -o " + out);
    ASSERT_EQ(sampled.status, 0) << sampled.err;
    EXPECT_NE(sampled.err.find("zoetra-render: "), std::string::npos) << "the sampling is told";
    made = testing::read_frames(out);
    EXPECT_EQ(made.delays.size(), 32u);
    std::uint32_t total = 0;
    for (std::uint16_t d : made.delays)
        total += d;
    EXPECT_EQ(total, 200u) << "the animation lasts as long";
}

} // namespace
} // namespace zoetra::cli
