#include "cli/options.hpp"

#include "run_command.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zoetra::cli {
namespace {

TEST(RendererOptions, ReadsEveryOptionInBothForms) {
    auto o = parse_options({"-e",
                            "flag",
                            "--output=x.gif",
                            "-n",
                            "12",
                            "-d",
                            "0.25",
                            "--loop",
                            "3",
                            "--direction",
                            "back-and-forth",
                            "--size=large",
                            "-s",
                            "2",
                            "--set",
                            "cube:CAM.PHI=30",
                            "--set",
                            "SIZE=1,2",
                            "-q",
                            "--colours=fine",
                            "--optimize",
                            "--frames-to",
                            "frames",
                            "a.gif",
                            "b.gif"});
    ASSERT_TRUE(o) << o.message();
    EXPECT_EQ(o->effect, "flag");
    EXPECT_EQ(o->output, "x.gif");
    EXPECT_EQ(o->frames, 12);
    EXPECT_EQ(o->delay, 0.25);
    EXPECT_EQ(o->loop, 3);
    EXPECT_EQ(o->direction, "back-and-forth");
    EXPECT_EQ(o->size, "large");
    EXPECT_EQ(o->select, 2);
    ASSERT_EQ(o->settings.size(), 2u);
    EXPECT_EQ(o->settings[0].name, "cube:CAM.PHI");
    EXPECT_EQ(o->settings[1].values, "1,2");
    EXPECT_TRUE(o->quiet);
    EXPECT_EQ(o->colours, "fine");
    EXPECT_TRUE(o->optimize);
    EXPECT_EQ(o->frames_to, "frames");
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

TEST_F(RendererRun, WritesTheAnimationAndEstimatesItsExactSize) {
    std::string out = path("flag.gif");
    command_result made = run("-e flag -n 3 -d 0.2 -l 2 -o " + out + " " + sample("icon.gif"));
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.err.find("Creating frame 3 of 3."), std::string::npos);
    EXPECT_NE(made.err.find("Saving gif89 frame 1 of 3 with delay of 0.20 seconds"),
              std::string::npos);
    auto bytes = std::filesystem::file_size(out);
    command_result estimate = run("-e flag -n 3 -d 0.2 -l 2 --estimate -q " + sample("icon.gif"));
    ASSERT_EQ(estimate.status, 0) << estimate.err;
    EXPECT_EQ(estimate.out, std::to_string(bytes) + "\n");
    EXPECT_EQ(estimate.err, "");
}

TEST_F(RendererRun, ReportsUsageErrorsBadInputAndFailingEffects) {
    EXPECT_EQ(run("").status, 1);
    EXPECT_EQ(run("--frames").status, 1);
    command_result missing = run("-q " + path("nothing-here.gif"));
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("does not exist"), std::string::npos);
    std::ofstream(path("fake.gif")) << "not a picture";
    command_result fake = run("-q " + path("fake.gif"));
    EXPECT_EQ(fake.status, 2);
    EXPECT_NE(fake.err.find("fake.gif\" is not a GIF, PNG or JPEG picture"), std::string::npos);
    command_result effect = run("-e no-such-effect " + sample("icon.gif"));
    EXPECT_EQ(effect.status, 2);
    EXPECT_NE(effect.err.find("no-such-effect"), std::string::npos);
    command_result range = run("-n 40 " + sample("icon.gif"));
    EXPECT_EQ(range.status, 2);
    EXPECT_NE(range.err.find("out of its range 1 to 32"), std::string::npos);
    command_result setting = run("-e flag --set NOPE=1 " + sample("icon.gif"));
    EXPECT_EQ(setting.status, 2);
    EXPECT_NE(setting.err.find("no public setting \"NOPE\""), std::string::npos);
    command_result item = run("-e flag --set wave:MODE=SPIRAL " + sample("icon.gif"));
    EXPECT_EQ(item.status, 2);
    EXPECT_NE(item.err.find("LINEAR, RADIAL"), std::string::npos);
    EXPECT_EQ(run("-s 3 " + sample("icon.gif")).status, 2);
    command_result colours = run("--colours purple " + sample("icon.gif"));
    EXPECT_EQ(colours.status, 2);
    EXPECT_NE(colours.err.find("standard, fine"), std::string::npos);

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

// --check holds each broken effect to its report: the line that names the
// place, and the exit status 3; inputs left alone on purpose are notes only.
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
        {"typo_idref", "<WAVE id=w><valuelist name=SIZE idref=gifin.sise></valuelist></WAVE>",
         "problem: <WAVE id=\"w\">: setting \"SIZE\": idref \"gifin.sise\" matches no "
         "setting id"},
        {"typo_port", "<WAVE id=w><in name=CONTROL.WAV idref=clock.out></in></WAVE>",
         "problem: <WAVE id=\"w\">: <in name=\"CONTROL.WAV\">: WAVE has no port of that name"},
        {"typo_setting", "<WAVE id=w><valuelist name=AMPLITUD><v>1</v></valuelist></WAVE>",
         "problem: <WAVE id=\"w\">: <valuelist name=\"AMPLITUD\">: WAVE has no setting"},
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
    const std::string arguments = "-e flag -n 3 " + sample("icon.gif") + " -o " + path("p.gif");
    command_result lines = run(arguments);
    ASSERT_EQ(lines.status, 0) << lines.err;
    EXPECT_NE(lines.err.find("Creating frame 2 of 3.\n"), std::string::npos);
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

} // namespace
} // namespace zoetra::cli
