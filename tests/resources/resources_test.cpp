// Resources: the archive writer, file listings, archive-aware opening and
// the GIF size probe, each test in a fresh working directory (everything
// resources do is relative to the current directory).
#include "../support/files.hpp"
#include "resources/archive_format.hpp"
#include "resources/archive_writer.hpp"
#include "resources/resource.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace zoetra::testing {
namespace {

archive_entry entry(const std::string& name, const std::string& text) {
    return {name, std::vector<unsigned char>(text.begin(), text.end())};
}

void pack(const fs::path& path, const std::vector<archive_entry>& entries) {
    fs::create_directories(path.parent_path());
    outcome written = write_archive(path.string(), entries);
    ASSERT_TRUE(written) << written.message();
}

// Overwrites bytes of a file in place, complementing them as an archive
// stores everything after its header.
void patch_complemented(const fs::path& path, std::size_t offset,
                        const std::vector<unsigned char>& plain) {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(offset));
    for (unsigned char byte : plain)
        file.put(static_cast<char>(archive::complement(byte)));
}

std::vector<unsigned char> big_endian(std::uint32_t value) {
    return {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
            static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
}

// Where record i of an archive begins.
std::size_t record_at(std::size_t i) {
    return archive::directory_start + i * archive::record_size;
}

using names = std::vector<std::string>;

// A fresh working directory, seen as the data folder "." of each test.
class ScratchDirectory : public ::testing::Test {
  protected:
    // A folder reads its archive list once: a new one sees the archives afresh.
    void reset_archive_list() { data_.emplace("."); }
    file_ptr open_resource(const std::string& name, const char* mode) {
        return data_->open(name, mode);
    }
    // The whole content of an open resource, or "<none>".
    std::string read_resource(const std::string& name) {
        file_ptr file = open_resource(name, "rb");
        std::string text;
        for (int c = file ? std::fgetc(file.get()) : EOF; c != EOF; c = std::fgetc(file.get()))
            text += static_cast<char>(c);
        return file ? text : "<none>";
    }
    names listed(const std::string& folder, const std::string& suffix, int where) {
        const string_list list = data_->list(folder, suffix, where);
        return {list.begin(), list.end()};
    }
    names archive_list() { return {data_->archives().begin(), data_->archives().end()}; }

    working_folder folder_; // made first: the data folder "." is this folder
    std::optional<resource_folder> data_{"."};
};

using ArchiveWriter = ScratchDirectory;

TEST_F(ArchiveWriter, LaysOutHeaderCountRecordsAndComplementedData) {
    pack("Resources/a.rez", {entry("a.gif", "AB"), entry("b", ""), entry("c", "C")});
    auto file = read_file<std::vector<unsigned char>>("Resources/a.rez");
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
        error = write_archive("Resources/a.rez", entries).message();
        return !error.empty();
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
    outcome packed = pack_files("Resources/p.rez", {"src/one.gif", "src/deep/two.zoml"});
    ASSERT_TRUE(packed) << packed.message();
    EXPECT_EQ(listed("", "", 2), (names{"*one.gif", "*two.zoml"}));
    EXPECT_EQ(read_resource("*two.zoml"), "2");

    const std::string twice = pack_files("x.rez", {"src/one.gif", "other/one.gif"}).message();
    EXPECT_NE(twice.find("one.gif"), std::string::npos) << twice;
    const std::string missing = pack_files("x.rez", {"missing.gif"}).message();
    EXPECT_NE(missing.find("missing.gif"), std::string::npos) << missing;
    EXPECT_FALSE(pack_files("x.rez", {"huge.gif"}));
    EXPECT_FALSE(pack_files("x.rez", {"src"}));
    EXPECT_FALSE(fs::exists("x.rez"));
}

using ListFiles = ScratchDirectory;

TEST_F(ListFiles, ListsSortedDirectoryMatchesBeforeArchiveEntries) {
    write_file("Effects/b.zoml", "b");
    write_file("Effects/a.ZOML", "a");
    write_file("Effects/c.txt", "c");
    fs::create_directories("Effects/folder.zoml");
    pack("Effects/pack.rez", {entry("z.zoml", "z"), entry("m.zoml", "m"), entry("n.gif", "n")});
    pack("Resources/skin.rez", {entry("r.zoml", "r")});

    names all = listed("Effects", ".zoml", 3);
    EXPECT_EQ(all, (names{"Effects\\a.ZOML", "Effects\\b.zoml", "*r.zoml", "*z.zoml", "*m.zoml"}));
    EXPECT_EQ(listed("Effects", ".zoml", 1), (names{"Effects\\a.ZOML", "Effects\\b.zoml"}));
    EXPECT_EQ(listed("Effects", ".zoml", 2), (names{"*r.zoml", "*z.zoml", "*m.zoml"}));
    EXPECT_TRUE(listed("Effects", ".zoml", 0).empty());

    // Every listed name opens as it is given.
    for (const auto& name : all)
        EXPECT_NE(read_resource(name), "<none>") << name;
}

TEST_F(ListFiles, HandlesEmptySuffixesAndDirectoryPrefixes) {
    write_file("Effects/one.zoml", "");
    write_file("Effects/two", "");
    write_file("top.txt", "");
    pack("Resources/skin.rez", {entry("__Splash.gif", "upper"), entry("__splash.gif", "lower")});

    EXPECT_EQ(listed("Effects", "", 1), (names{"Effects\\one.zoml", "Effects\\two"}));
    EXPECT_EQ(listed("Effects\\", "two", 1), names{"Effects\\two"});
    EXPECT_EQ(listed("", ".TXT", 1), names{"top.txt"});
    EXPECT_TRUE(listed("Missing", "", 1).empty());
    EXPECT_EQ(listed("", ".GIF", 2), (names{"*__Splash.gif", "*__splash.gif"}));
    EXPECT_EQ(listed("", "", 2), (names{"*__Splash.gif", "*__splash.gif"}));
    // Entry names are case-sensitive.
    EXPECT_EQ(read_resource("*Resources\\__splash.gif"), "lower");
    EXPECT_EQ(read_resource("*__Splash.gif"), "upper");
}

TEST_F(ListFiles, ArchiveListHoldsResourcesThenEffectsAndIsBuiltOnce) {
    fs::remove("Effects"); // no archive directories: no archives
    fs::remove("Resources");
    EXPECT_TRUE(archive_list().empty());
    EXPECT_TRUE(listed("", "", 2).empty());
    reset_archive_list();
    pack("Resources/b.rez", {});
    pack("Resources/a.REZ", {});
    write_file("Resources/notes.txt", "");
    fs::create_directories("Resources/folder.rez");
    pack("Effects/e.rez", {});

    names expected{"Resources\\a.REZ", "Resources\\b.rez", "Effects\\e.rez"};
    EXPECT_EQ(archive_list(), expected);
    pack("Effects/f.rez", {entry("late.gif", "late")});
    EXPECT_EQ(archive_list(), expected);
    EXPECT_EQ(read_resource("*late.gif"), "<none>");

    reset_archive_list();
    expected.push_back("Effects\\f.rez");
    EXPECT_EQ(archive_list(), expected);
    EXPECT_EQ(read_resource("*late.gif"), "late");
}

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

TEST_F(OpenResource, EarlierArchivesAndFirstRecordsWinAndBadArchivesAreSkipped) {
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

    // Archives without entries or with bad headers are skipped.
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
    reset_archive_list();
    EXPECT_EQ(read_resource("*x.gif"), "effects");
    EXPECT_EQ(listed("", ".gif", 2), names{"*x.gif"});
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

// Archives are files anybody may drop into the directories; every damaged
// part below makes its entry (or archive) invisible and the look-up moves on
// to the fallback archive in "Effects".
TEST_F(OpenResource, DamagedArchivesNeverYieldBadEntries) {
    pack("Effects/fallback.rez", {entry("one.gif", "fb one"), entry("two.gif", "fb two")});
    const std::size_t count = 270, name0 = record_at(0), offset0 = name0 + 257, size0 = name0 + 261,
                      size1 = record_at(1) + 261;
    const struct {
        const char* name;
        int entries;    // one.gif, then two.gif
        std::size_t at; // where the plain bytes are patched in
        std::vector<unsigned char> plain;
        std::uintmax_t cut;    // the file's new size, 0 to keep it
        const char *one, *two; // what reading them gives
    } cases[] = {
        {"a count beyond 65,535", 2, count, big_endian(65536), 0, "fb one", "fb two"},
        {"more records claimed than the file holds: those present count", 2, count,
         big_endian(0xffff), record_at(1) + 100, "fb one", "fb two"},
        {"more records than claimed", 1, count, big_endian(3), 0, "one", "fb two"},
        {"data beyond the end of the file", 2, offset0, big_endian(0xfffffff0), 0, "fb one", "two"},
        {"one byte more than the file holds", 2, size1, big_endian(4), 0, "one", "fb two"},
        {"larger than an entry may be", 2, size0, big_endian(65536), 0, "fb one", "two"},
        {"cut inside the header", 2, 0, {}, 200, "fb one", "fb two"},
        {"cut inside the count", 2, 0, {}, 272, "fb one", "fb two"},
        {"a name without its NUL: the next record is still found", 2, name0,
         std::vector<unsigned char>(257, 'A'), 0, "fb one", "two"},
    };
    for (const auto& c : cases) {
        std::vector<archive_entry> entries = {entry("one.gif", "one"), entry("two.gif", "two")};
        entries.resize(std::size_t(c.entries));
        pack("Resources/a.rez", entries);
        patch_complemented("Resources/a.rez", c.at, c.plain);
        if (c.cut != 0)
            fs::resize_file("Resources/a.rez", c.cut);
        reset_archive_list();
        EXPECT_EQ(read_resource("*one.gif"), c.one) << c.name;
        EXPECT_EQ(read_resource("*two.gif"), c.two) << c.name;
    }
    EXPECT_EQ(listed("", "", 2), (names{"*two.gif", "*one.gif", "*two.gif"}));
}

TEST_F(OpenResource, ProbesTheLogicalScreenSizeOfGifs) {
    pack("Resources/skin.rez",
         {entry("wide.gif", std::string("GIF89a\x2c\x01\x02\x00", 10) + "rest"),
          entry("note.txt", "GIX89a\x01\x01\x01\x01")});
    write_file("big.gif", std::string("GIF87a\xff\xff\x00\x01", 10));
    write_file("short.gif", "GIF89a\x01");

    auto size = [&](const std::string& name) {
        gif_size s = data_->probe_gif_size(name);
        return std::pair<int, int>(s.width, s.height);
    };
    EXPECT_EQ(size("*Resources\\wide.gif"), std::pair(300, 2));
    EXPECT_EQ(size("*big.gif"), std::pair(65535, 256));
    EXPECT_EQ(size("big.gif"), std::pair(65535, 256));
    EXPECT_EQ(size("*note.txt"), std::pair(0, 0));
    EXPECT_EQ(size("short.gif"), std::pair(0, 0));
    EXPECT_EQ(size("*missing.gif"), std::pair(0, 0));
}

// The data folder need not be the current directory: names are taken from
// it, archives and all, and absolute paths stay as they are.
TEST_F(OpenResource, NamesAreTakenFromTheDataFolderWhereverTheProgramRuns) {
    pack("elsewhere/Resources/skin.rez", {entry("packed.gif", "from the archive")});
    write_file("elsewhere/Effects/a.zoml", "effect");
    data_.emplace(fs::absolute("elsewhere"));
    EXPECT_EQ(read_resource("*packed.gif"), "from the archive");
    EXPECT_EQ(read_resource("Effects\\a.zoml"), "effect");
    EXPECT_EQ(read_resource(fs::absolute("elsewhere/Effects/a.zoml").string()), "effect");
    EXPECT_EQ(listed("Effects", ".zoml", 3), names{"Effects\\a.zoml"});
    EXPECT_EQ(read_resource("Effects\\missing.zoml"), "<none>");
}

} // namespace
} // namespace zoetra::testing
