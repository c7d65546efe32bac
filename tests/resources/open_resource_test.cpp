#include "scratch.hpp"

#include <tuple>

namespace zoetra::testing {
namespace {

using OpenResource = ScratchDirectory;

// Starred names are looked up by base name in the archives of either
// directory, then on disk with "\" as "/"; unstarred ones only on disk.
TEST_F(OpenResource, FindsStarredNamesInArchivesThenOnDisk) {
    pack("Resources/skin.rez", {entry("__splash.gif", "archive")});
    pack("Effects/more.rez", {entry("sample.zoml", "<effect/>")});
    write_file("Resources/__cancel.gif", "cancel on disk");
    write_file("Resources/__splash.gif", "splash on disk");
    write_file("top.zoml", "top on disk");
    const std::pair<const char*, const char*> reads[] = {
        {"*Resources\\__splash.gif", "archive"},
        {"*Some\\Other\\Dir\\__splash.gif", "archive"},
        {"*__splash.gif", "archive"},
        {"*sample.zoml", "<effect/>"},
        {"*Resources\\sample.zoml", "<effect/>"},
        {"__splash.gif", "<none>"},
        {"*Resources\\__cancel.gif", "cancel on disk"},
        {"*top.zoml", "top on disk"},
        {"Resources\\__splash.gif", "splash on disk"},
        // Only "\" separates: no entry has the base name "Resources/__splash.gif".
        {"*Resources/__splash.gif", "splash on disk"},
        {"*Resources\\__missing.gif", "<none>"},
        {"", "<none>"},
        {"*", "<none>"},
        {"*Resources\\", "<none>"}, // a directory
    };
    for (auto [name, text] : reads)
        EXPECT_EQ(read_resource(name), text) << name;
}

TEST_F(OpenResource, WritingNeverTouchesArchivesAndCreatesTheUnstarredFile) {
    pack("Resources/skin.rez", {entry("__splash.gif", "archive")});
    std::string archive_before = read_file("Resources/skin.rez");

    file_ptr out = open_resource("*Resources\\__splash.gif", "wb");
    ASSERT_TRUE(out);
    std::fputs("written", out.get());
    out.reset();

    EXPECT_EQ(read_file("Resources/__splash.gif"), "written");
    EXPECT_EQ(read_file("Resources/skin.rez"), archive_before);
    EXPECT_EQ(read_resource("*Resources\\__splash.gif"), "archive");
    // Any mode other than exactly "rb" goes straight to disk.
    file_ptr text_mode = open_resource("*Resources\\__splash.gif", "r");
    ASSERT_TRUE(text_mode);
    EXPECT_EQ(std::fgetc(text_mode.get()), 'w');
}

TEST_F(OpenResource, EarlierArchivesAndFirstRecordsWin) {
    pack("Effects/a.rez", {entry("x.gif", "effects")});
    pack("Resources/z.rez", {entry("x.gif", "resources z")});
    pack("Resources/b.rez", {entry("x.gif", "b first"), entry("x.gif", "b second")});
    EXPECT_EQ(read_resource("*x.gif"), "b first");

    fs::remove("Resources/b.rez");
    reset_archive_list();
    EXPECT_EQ(read_resource("*x.gif"), "resources z");
    fs::remove("Resources/z.rez");
    reset_archive_list();
    EXPECT_EQ(read_resource("*x.gif"), "effects");
}

TEST_F(OpenResource, EntryStreamsReadExactlyTheirSizeAndSeekLikeFiles) {
    std::string data("\x00\x01\xfe\xff"
                     "456789",
                     10);
    pack("Resources/skin.rez", {entry("empty.gif", ""), entry("data.gif", data)});

    file_ptr file = open_resource("*data.gif", "rb");
    ASSERT_TRUE(file);
    char buffer[64];
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, file.get()), 10u);
    EXPECT_EQ(std::string(buffer, 10), data);
    EXPECT_TRUE(std::feof(file.get()));
    EXPECT_EQ(std::fgetc(file.get()), EOF);

    for (auto [offset, whence, where, byte] :
         {std::tuple{4, SEEK_SET, 4, int('4')}, std::tuple{2, SEEK_CUR, 7, int('7')},
          std::tuple{0, SEEK_END, 10, EOF}, std::tuple{2, SEEK_SET, 2, 0xfe}}) {
        ASSERT_EQ(std::fseek(file.get(), offset, whence), 0);
        EXPECT_EQ(std::ftell(file.get()), where);
        EXPECT_EQ(std::fgetc(file.get()), byte);
    }

    file_ptr empty = open_resource("*empty.gif", "rb");
    ASSERT_TRUE(empty);
    EXPECT_EQ(std::fgetc(empty.get()), EOF);
}

TEST_F(OpenResource, ArchivesWithoutEntriesOrWithBadHeadersAreSkipped) {
    pack("Resources/a.rez", {});
    pack("Resources/b.rez", {entry("x.gif", "bad first byte")});
    patch_complemented("Resources/b.rez", 0, {0x00}); // byte 0 becomes FF
    pack("Resources/c.rez", {entry("x.gif", "bad signature")});
    write_file("Resources/c.rez", [] {
        std::string bytes = read_file("Resources/c.rez");
        bytes[256 + 13] = 'E'; // "QuorvanelMungE"
        return bytes;
    }());
    write_file("Resources/d.rez", "not an archive");
    pack("Effects/e.rez", {entry("x.gif", "good")});

    EXPECT_EQ(read_resource("*x.gif"), "good");
    EXPECT_EQ(as_vector(list_files("", ".gif", 2)), std::vector<std::string>{"*x.gif"});
}

// Archives are files anybody may drop into the directories; every damaged
// part below makes its entry (or archive) invisible and the look-up moves on
// to the fallback archive in "Effects".
TEST_F(OpenResource, DamagedArchivesNeverYieldBadEntries) {
    pack("Effects/fallback.rez", {entry("one.gif", "fb one"), entry("two.gif", "fb two")});
    const std::size_t count = 270, name0 = record_at(0), offset0 = name0 + 257, size0 = name0 + 261,
                      size1 = record_at(1) + 261;
    const struct {
        int entries;    // one.gif, then two.gif
        std::size_t at; // where the plain bytes are patched in
        std::vector<unsigned char> plain;
        std::uintmax_t cut;    // the file's new size, 0 to keep it
        const char *one, *two; // what reading them gives
    } cases[] = {
        {2, count, big_endian(65536), 0, "fb one", "fb two"},
        // More records claimed than the file holds: those present still count.
        {2, count, big_endian(0xffff), record_at(1) + 100, "fb one", "fb two"},
        {1, count, big_endian(3), 0, "one", "fb two"},
        // Data beyond the end of the file, or larger than an entry may be.
        {2, offset0, big_endian(0xfffffff0), 0, "fb one", "two"},
        {2, size1, big_endian(4), 0, "one", "fb two"}, // one byte too many
        {2, size0, big_endian(65536), 0, "fb one", "two"},
        // Cut inside the header or the count.
        {2, 0, {}, 200, "fb one", "fb two"},
        {2, 0, {}, 272, "fb one", "fb two"},
        // A name without its NUL is ignored; the next record is still found.
        {2, name0, std::vector<unsigned char>(257, 'A'), 0, "fb one", "two"},
    };
    for (const auto& c : cases) {
        std::vector<archive_entry> entries = {entry("one.gif", "one"), entry("two.gif", "two")};
        entries.resize(std::size_t(c.entries));
        pack("Resources/a.rez", entries);
        patch_complemented("Resources/a.rez", c.at, c.plain);
        if (c.cut != 0)
            fs::resize_file("Resources/a.rez", c.cut);
        reset_archive_list();
        EXPECT_EQ(read_resource("*one.gif"), c.one) << &c - cases;
        EXPECT_EQ(read_resource("*two.gif"), c.two) << &c - cases;
    }
    EXPECT_EQ(as_vector(list_files("", "", 2)),
              (std::vector<std::string>{"*two.gif", "*one.gif", "*two.gif"}));
}

TEST_F(OpenResource, ProbesTheLogicalScreenSizeOfGifs) {
    pack("Resources/skin.rez",
         {entry("wide.gif", std::string("GIF89a\x2c\x01\x02\x00", 10) + "rest"),
          entry("note.txt", "GIX89a\x01\x01\x01\x01")});
    write_file("big.gif", std::string("GIF87a\xff\xff\x00\x01", 10));
    write_file("short.gif", "GIF89a\x01");

    auto size = [](const std::string& name) {
        gif_size s = probe_gif_size(name);
        return std::pair<int, int>(s.width, s.height);
    };
    EXPECT_EQ(size("*Resources\\wide.gif"), std::pair(300, 2));
    EXPECT_EQ(size("*big.gif"), std::pair(65535, 256));
    EXPECT_EQ(size("big.gif"), std::pair(65535, 256));
    EXPECT_EQ(size("*note.txt"), std::pair(0, 0));
    EXPECT_EQ(size("short.gif"), std::pair(0, 0));
    EXPECT_EQ(size("*missing.gif"), std::pair(0, 0));
}

} // namespace
} // namespace zoetra::testing
