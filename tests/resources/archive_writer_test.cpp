#include "scratch.hpp"

namespace zoetra::testing {
namespace {

using ArchiveWriter = ScratchDirectory;

std::vector<unsigned char> bytes_of(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST_F(ArchiveWriter, LaysOutHeaderCountRecordsAndComplementedData) {
    pack("Resources/a.rez", {entry("a.gif", "AB"), entry("b", ""), entry("c", "C")});
    auto file = bytes_of(read_file("Resources/a.rez"));
    ASSERT_EQ(file.size(), 274u + 3 * 265 + 3);

    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(file[i], i);
    EXPECT_EQ(std::string(file.begin() + 256, file.begin() + 270), "QuorvanelMunge");
    EXPECT_EQ(std::vector(file.begin() + 270, file.begin() + 274),
              (std::vector<unsigned char>{0xff, 0xff, 0xff, 0xfc}));

    // Record 0: "a.gif" complemented, NUL padding stored as FF, then the
    // offset 1069 (0x42D) and the size 2.
    EXPECT_EQ(file[274], 0xff - 'a');
    EXPECT_EQ(file[274 + 4], 0xff - 'f');
    for (int i = 5; i < 257; ++i)
        ASSERT_EQ(file[274 + i], 0xff);
    EXPECT_EQ(std::vector(file.begin() + 274 + 257, file.begin() + 274 + 265),
              (std::vector<unsigned char>{0xff, 0xff, 0xfb, 0xd2, 0xff, 0xff, 0xff, 0xfd}));
    // Record 2 points past the two bytes of record 0 (and none of record 1).
    EXPECT_EQ(file[274 + 2 * 265 + 260], 0xff - 0x2f);
    EXPECT_EQ(std::vector(file.begin() + 1069, file.end()),
              (std::vector<unsigned char>{0xff - 'A', 0xff - 'B', 0xff - 'C'}));
}

TEST_F(ArchiveWriter, RefusesWhatTheReaderCannotHoldAndKeepsTheOldFile) {
    pack("Resources/a.rez", {entry("keep.gif", "kept")});
    std::string error;
    auto refused = [&](const std::vector<archive_entry>& entries) {
        error.clear();
        return !write_archive("Resources/a.rez", entries, error) && !error.empty();
    };
    EXPECT_TRUE(refused({{"big.gif", std::vector<unsigned char>(65536)}}));
    EXPECT_NE(error.find("big.gif"), std::string::npos) << error;
    EXPECT_TRUE(refused(std::vector<archive_entry>(65536, entry("x", ""))));
    EXPECT_TRUE(refused({entry("", "")}));
    EXPECT_TRUE(refused({entry(std::string(257, 'n'), "")}));
    EXPECT_TRUE(refused({entry("dir\\x.gif", "")}));
    EXPECT_TRUE(refused({entry("dir/x.gif", "")}));
    EXPECT_EQ(read_resource("*keep.gif"), "kept");
    EXPECT_FALSE(fs::exists("Resources/a.rez.part"));

    // The largest entry and the longest name fit and read back whole.
    std::string largest(65535, 'q');
    std::string longest(256, 'n');
    pack("Resources/a.rez", {entry(longest, largest)});
    reset_archive_list();
    EXPECT_EQ(read_resource("*" + longest), largest);
}

TEST_F(ArchiveWriter, PacksFilesUnderTheirFileNames) {
    write_file("src/one.gif", "1");
    write_file("src/deep/two.zoml", "2");
    write_file("other/one.gif", "again");
    write_file("huge.gif", std::string(65536, 'h'));
    fs::create_directories("Resources");
    std::string error;

    ASSERT_TRUE(pack_files("Resources/p.rez", {"src/one.gif", "src/deep/two.zoml"}, error))
        << error;
    EXPECT_EQ(as_vector(list_files("", "", 2)),
              (std::vector<std::string>{"*one.gif", "*two.zoml"}));
    EXPECT_EQ(read_resource("*two.zoml"), "2");

    EXPECT_FALSE(pack_files("x.rez", {"src/one.gif", "other/one.gif"}, error));
    EXPECT_NE(error.find("one.gif"), std::string::npos) << error;
    EXPECT_FALSE(pack_files("x.rez", {"missing.gif"}, error));
    EXPECT_NE(error.find("missing.gif"), std::string::npos) << error;
    EXPECT_FALSE(pack_files("x.rez", {"huge.gif"}, error));
    EXPECT_FALSE(pack_files("x.rez", {"src"}, error));
    EXPECT_FALSE(fs::exists("x.rez"));
}

} // namespace
} // namespace zoetra::testing
