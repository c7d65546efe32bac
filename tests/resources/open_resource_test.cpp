#include "scratch.hpp"

namespace zoetra::testing {
namespace {

using OpenResource = ScratchDirectory;

TEST_F(OpenResource, FindsStarredNamesInArchivesOfEitherDirectoryByBaseName) {
    pack("Resources/skin.rez", {entry("__splash.gif", "splash from archive")});
    pack("Effects/more.rez", {entry("sample.zoml", "<effect/>")});

    EXPECT_EQ(read_resource("*Resources\\__splash.gif"), "splash from archive");
    EXPECT_EQ(read_resource("*Some\\Other\\Dir\\__splash.gif"), "splash from archive");
    EXPECT_EQ(read_resource("*__splash.gif"), "splash from archive");
    EXPECT_EQ(read_resource("*sample.zoml"), "<effect/>");
    EXPECT_EQ(read_resource("*Resources\\sample.zoml"), "<effect/>");
    // Without the star the archives are not searched.
    EXPECT_EQ(read_resource("__splash.gif"), "<none>");
}

TEST_F(OpenResource, FallsBackToDiskWithBackslashesAsSlashes) {
    pack("Resources/skin.rez", {entry("__splash.gif", "archive")});
    write_file("Resources/__cancel.gif", "cancel on disk");
    write_file("Resources/__splash.gif", "splash on disk");
    write_file("sample.zoml", "sample on disk");

    EXPECT_EQ(read_resource("*Resources\\__cancel.gif"), "cancel on disk");
    EXPECT_EQ(read_resource("*sample.zoml"), "sample on disk");
    EXPECT_EQ(read_resource("Resources\\__splash.gif"), "splash on disk");
    // Only "\" separates: this base name is "Resources/__splash.gif", which
    // no entry has, so the disk file wins over the archive entry.
    EXPECT_EQ(read_resource("*Resources/__splash.gif"), "splash on disk");

    EXPECT_EQ(read_resource("*Resources\\__missing.gif"), "<none>");
    EXPECT_EQ(read_resource(""), "<none>");
    EXPECT_EQ(read_resource("*"), "<none>");
    EXPECT_EQ(read_resource("*Resources\\"), "<none>"); // a directory
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

TEST_F(OpenResource, EntryNamesAreCaseSensitive) {
    pack("Resources/skin.rez", {entry("__Splash.gif", "upper")});
    EXPECT_EQ(read_resource("*Resources\\__splash.gif"), "<none>");
    EXPECT_EQ(read_resource("*Resources\\__Splash.gif"), "upper");
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

    ASSERT_EQ(std::fseek(file.get(), 4, SEEK_SET), 0);
    EXPECT_EQ(std::fgetc(file.get()), '4');
    ASSERT_EQ(std::fseek(file.get(), 2, SEEK_CUR), 0);
    EXPECT_EQ(std::fgetc(file.get()), '7');
    ASSERT_EQ(std::fseek(file.get(), 0, SEEK_END), 0);
    EXPECT_EQ(std::ftell(file.get()), 10);
    ASSERT_EQ(std::fseek(file.get(), 2, SEEK_SET), 0);
    EXPECT_EQ(std::fgetc(file.get()), 0xfe);

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
    auto damaged = [](const std::vector<archive_entry>& entries, auto&& damage) {
        pack("Resources/a.rez", entries);
        damage(fs::path("Resources/a.rez"));
        reset_archive_list();
    };
    pack("Effects/fallback.rez",
         {entry("one.gif", "fallback one"), entry("two.gif", "fallback two")});
    std::vector<archive_entry> two = {entry("one.gif", "one"), entry("two.gif", "two")};

    // A count above 65,535 disqualifies the archive.
    damaged(two, [](const fs::path& p) { patch_complemented(p, 270, big_endian(65536)); });
    EXPECT_EQ(read_resource("*one.gif"), "fallback one");

    // More records claimed than the file holds: those present still count.
    damaged(two, [](const fs::path& p) {
        patch_complemented(p, 270, big_endian(0xffff));
        fs::resize_file(p, record_at(1) + 100);
    });
    EXPECT_EQ(read_resource("*two.gif"), "fallback two");
    damaged({entry("one.gif", "one")},
            [](const fs::path& p) { patch_complemented(p, 270, big_endian(3)); });
    EXPECT_EQ(read_resource("*one.gif"), "one");

    // Data beyond the end of the file, or larger than an entry may be.
    damaged(two, [](const fs::path& p) {
        patch_complemented(p, record_at(0) + 257, big_endian(0xfffffff0));
    });
    EXPECT_EQ(read_resource("*one.gif"), "fallback one");
    EXPECT_EQ(read_resource("*two.gif"), "two");
    damaged(two,
            [](const fs::path& p) { patch_complemented(p, record_at(1) + 261, big_endian(4)); });
    EXPECT_EQ(read_resource("*two.gif"), "fallback two"); // one byte too many
    EXPECT_EQ(read_resource("*one.gif"), "one");
    damaged(two, [](const fs::path& p) {
        patch_complemented(p, record_at(0) + 261, big_endian(65536));
    });
    EXPECT_EQ(read_resource("*one.gif"), "fallback one");

    // A name without its NUL is ignored; the next record is still found.
    damaged(two, [](const fs::path& p) {
        patch_complemented(p, record_at(0), std::vector<unsigned char>(257, 'A'));
    });
    EXPECT_EQ(read_resource("*one.gif"), "fallback one");
    EXPECT_EQ(read_resource("*two.gif"), "two");
    EXPECT_EQ(as_vector(list_files("", "", 2)),
              (std::vector<std::string>{"*two.gif", "*one.gif", "*two.gif"}));

    // Cut inside the header or the count.
    damaged(two, [](const fs::path& p) { fs::resize_file(p, 200); });
    EXPECT_EQ(read_resource("*two.gif"), "fallback two");
    damaged(two, [](const fs::path& p) { fs::resize_file(p, 272); });
    EXPECT_EQ(read_resource("*two.gif"), "fallback two");
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
