// The data folder that every build makes in share/zoetra: the skin archive
// drawn by zoetra-skins, the link to the effects, and how the programs find
// the folder.
#include "../cli/run_command.hpp"
#include "production/data_directory.hpp"
#include "raster/buffer.hpp"
#include "resources/resource.hpp"
#include "skin/skin_images.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>

namespace zoetra {
namespace {

namespace fs = std::filesystem;

const fs::path build_data = fs::path(ZOETRA_BINARY_DIR) / "share" / "zoetra";

struct size {
    int width, height;
    friend bool operator==(const size&, const size&) = default;
};

// Every skin image the window draws, at the size of the box it goes into.
std::map<std::string, size> expected_skin_images() {
    std::map<std::string, size> images = {
        {"__splash.gif", {650, 351}},   {"__background.gif", {650, 351}},
        {"__cancel.gif", {120, 12}},    {"__create.gif", {75, 25}},
        {"__save.gif", {75, 25}},       {"__insert.gif", {90, 22}},
        {"__delete.gif", {90, 22}},     {"__left_arrow.gif", {9, 16}},
        {"__right_arrow.gif", {9, 16}}, {"__icon.gif", {48, 48}},
    };
    for (int i = 1; i <= 5; ++i) {
        images["__help" + std::to_string(i) + ".gif"] = {650, 445};
        if (i != 3) // the settings tab shows the effect's title
            images["__tab." + std::to_string(i) + ".gif"] = {97, 12};
    }
    for (const char* type : {"STANDARD", "WAVE", "ART", "STILL"})
        for (const char* state : {"on", "off"})
            images[std::string("__menu.") + type + "." + state + ".gif"] = {83, 15};
    return images;
}

// The data folder as the programs use it.
class BuildDataFolder : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(fs::is_directory(build_data)) << build_data; }

    resource_folder folder_{build_data};
    skin_cache skins_{folder_};
};

// Skin images are opaque, but for the icon: a rounded tile, see-through
// round its edge and painted within.
TEST_F(BuildDataFolder, TheArchiveHoldsEverySkinImageAtItsBoxSize) {
    std::map<std::string, size> found;
    for (const std::string& listed : folder_.list("Resources", ".gif", 2)) {
        ASSERT_EQ(listed.front(), '*') << listed;
        // The effects' icons share the folder; the effects' tests check them.
        if (listed.rfind("*__", 0) != 0)
            continue;
        SCOPED_TRACE(listed);
        std::unique_ptr<buffer> image = skins_.load("*Resources\\" + listed.substr(1));
        ASSERT_TRUE(image);
        found[listed.substr(1)] = {image->width(), image->height()};
        buffer_lock lock(*image);
        int hidden = 0;
        for (std::size_t i = 0; i < std::size_t(image->width()) * image->height(); ++i)
            hidden += is_visible(image->pixels()[i]) ? 0 : 1;
        if (listed == "*__icon.gif") {
            EXPECT_FALSE(is_visible(image->pixels()[0]));
            EXPECT_TRUE(is_visible(image->pixels()[24 * 48 + 24]));
            EXPECT_LT(hidden, image->width() * image->height() / 4);
        } else {
            EXPECT_EQ(hidden, 0);
        }
    }
    // An entry the reader skipped (too large, damaged) shows here as missing.
    EXPECT_EQ(found, expected_skin_images());
}

TEST_F(BuildDataFolder, EffectsLinkToTheSourceTreeAndTheIconIsAPng) {
    EXPECT_TRUE(fs::is_symlink(build_data / "Effects"));
    EXPECT_TRUE(fs::equivalent(build_data / "Effects", fs::path(ZOETRA_SOURCE_DIR) / "Effects"));

    const std::string head = testing::read_file(build_data / "Resources" / "zoetra.png");
    ASSERT_GE(head.size(), 24u);
    EXPECT_EQ(head.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(head.substr(12, 4), "IHDR");
    auto big_endian = [&](std::size_t at) {
        return (unsigned char)head[at] << 24 | (unsigned char)head[at + 1] << 16 |
               (unsigned char)head[at + 2] << 8 | (unsigned char)head[at + 3];
    };
    EXPECT_EQ(big_endian(16), 128);
    EXPECT_EQ(big_endian(20), 128);
}

using testing::quoted;

class DataFolderSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* named = std::getenv("ZOETRA_DATA_DIR"))
            saved_ = named;
        unsetenv("ZOETRA_DATA_DIR");
        setenv("ZOETRA_NO_SOURCE_DATA", "1", 1);
    }
    void TearDown() override {
        unsetenv("ZOETRA_NO_SOURCE_DATA");
        if (!saved_.empty())
            setenv("ZOETRA_DATA_DIR", saved_.c_str(), 1);
    }

  private:
    std::string saved_;
};

TEST_F(DataFolderSearch, AProgramTwoFoldersBelowTheBuildFindsTheBuildsDataFolder) {
    // This test program lies in build/tests/tools, as the renderer lies in
    // build/src/cli and the window program in build/src/platform.
    const std::optional<fs::path> found = find_data_directory();
    ASSERT_TRUE(found);
    EXPECT_TRUE(fs::equivalent(*found, build_data)) << *found;
}

TEST_F(DataFolderSearch, ACopiedRendererFindsDataOnlyWhereItIsToldWithoutTheCompiledInFolders) {
    // Four folders deep in the temporary folder, so that none of the
    // folders it searches is ours.
    const fs::path root = fs::temp_directory_path() /
                          ("zoetra-relocated-" + std::to_string(::getpid())) / "a" / "b" / "c";
    fs::remove_all(root.parent_path().parent_path().parent_path());
    fs::create_directories(root);
    const fs::path copy = root / "zoetra-render";
    fs::copy_file(fs::path(ZOETRA_BINARY_DIR) / "src" / "cli" / "zoetra-render", copy);
    const std::string render = quoted(copy) + " -q -n 2 -o " + quoted(root / "out.gif") + " " +
                               quoted(fs::path(ZOETRA_SOURCE_DIR) / "samples" / "photo.gif") +
                               " >/dev/null 2>&1";

    const std::string in_root = "cd " + quoted(root) + " && ";
    EXPECT_NE(testing::run(in_root + render).status, 0);
    EXPECT_FALSE(fs::exists(root / "out.gif"));
    EXPECT_EQ(testing::run(in_root + "ZOETRA_DATA_DIR=" + quoted(build_data) + " " + render).status,
              0);
    EXPECT_TRUE(fs::exists(root / "out.gif"));
    fs::remove_all(root.parent_path().parent_path().parent_path());
}

} // namespace
} // namespace zoetra
