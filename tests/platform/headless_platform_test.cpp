#include "platform/headless_platform.hpp"

#include <gtest/gtest.h>

namespace zoetra {
namespace {

TEST(HeadlessPlatform, WritesBoxesAndNewStatusLinesToStandardError) {
    headless_platform p;
    install_platform(&p);
    testing::internal::CaptureStderr();
    error_box("FAILED saving GIF89 to \"x.gif\".\n");
    info_box("GIF89 file size", "Your GIF89 file size will be 1.5KB (1536 bytes).");
    set_status("Creating frame 1 of 2.");
    set_status("Creating frame 1 of 2."); // the same text again shows nothing
    set_status("Creating frame 2 of 2.");
    std::string text = testing::internal::GetCapturedStderr();
    install_platform(nullptr);
    EXPECT_EQ(text, "Error: FAILED saving GIF89 to \"x.gif\".\n"
                    "GIF89 file size: Your GIF89 file size will be 1.5KB (1536 bytes).\n"
                    "Creating frame 1 of 2.\nCreating frame 2 of 2.\n");
    ASSERT_EQ(p.messages().size(), 2u);
    EXPECT_EQ(p.messages()[1].kind, platform::icon::information);
    EXPECT_EQ(p.status_lines().size(), 2u);
}

TEST(HeadlessPlatform, AnswersFileDialogsFromItsQueue) {
    headless_platform p;
    p.queue_file_choice("a.gif");
    p.queue_file_choice(std::nullopt);
    install_platform(&p);
    EXPECT_EQ(choose_file_to_open("Please select your input gif", "*.gif"), "a.gif");
    EXPECT_EQ(choose_file_to_save("Please tell me where to save", "your.gif"), std::nullopt);
    EXPECT_EQ(choose_file_to_save("Please tell me where to save", "your.gif"), std::nullopt);
    install_platform(nullptr);
    EXPECT_EQ(p.dialog_titles().size(), 3u);
}

} // namespace
} // namespace zoetra
