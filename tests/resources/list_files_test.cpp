#include "scratch.hpp"

namespace zoetra::testing {
namespace {

using ListFiles = ScratchDirectory;
using names = std::vector<std::string>;

TEST_F(ListFiles, ListsSortedDirectoryMatchesBeforeArchiveEntries) {
    write_file("Effects/b.zoml", "b");
    write_file("Effects/a.ZOML", "a");
    write_file("Effects/c.txt", "c");
    fs::create_directories("Effects/folder.zoml");
    pack("Effects/pack.rez", {entry("z.zoml", "z"), entry("m.zoml", "m"), entry("n.gif", "n")});
    pack("Resources/skin.rez", {entry("r.zoml", "r")});

    names all = as_vector(list_files("Effects", ".zoml", 3));
    EXPECT_EQ(all, (names{"Effects\\a.ZOML", "Effects\\b.zoml", "*r.zoml", "*z.zoml", "*m.zoml"}));
    EXPECT_EQ(as_vector(list_files("Effects", ".zoml", 1)),
              (names{"Effects\\a.ZOML", "Effects\\b.zoml"}));
    EXPECT_EQ(as_vector(list_files("Effects", ".zoml", 2)),
              (names{"*r.zoml", "*z.zoml", "*m.zoml"}));
    EXPECT_TRUE(list_files("Effects", ".zoml", 0).empty());

    // Every listed name opens as it is given.
    for (const auto& name : all)
        EXPECT_NE(read_resource(name), "<none>") << name;
}

TEST_F(ListFiles, HandlesEmptySuffixesAndDirectoryPrefixes) {
    write_file("Effects/one.zoml", "");
    write_file("Effects/two", "");
    write_file("top.txt", "");
    pack("Resources/skin.rez", {entry("__Splash.gif", "upper"), entry("__splash.gif", "lower")});

    EXPECT_EQ(as_vector(list_files("Effects", "", 1)),
              (names{"Effects\\one.zoml", "Effects\\two"}));
    EXPECT_EQ(as_vector(list_files("Effects\\", "two", 1)), names{"Effects\\two"});
    EXPECT_EQ(as_vector(list_files("", ".TXT", 1)), names{"top.txt"});
    EXPECT_TRUE(list_files("Missing", "", 1).empty());
    EXPECT_EQ(as_vector(list_files("", ".GIF", 2)), (names{"*__Splash.gif", "*__splash.gif"}));
    EXPECT_EQ(as_vector(list_files("", "", 2)), (names{"*__Splash.gif", "*__splash.gif"}));
    // Entry names are case-sensitive.
    EXPECT_EQ(read_resource("*Resources\\__splash.gif"), "lower");
    EXPECT_EQ(read_resource("*__Splash.gif"), "upper");
}

TEST_F(ListFiles, ArchiveListHoldsResourcesThenEffectsAndIsBuiltOnce) {
    pack("Resources/b.rez", {});
    pack("Resources/a.REZ", {});
    write_file("Resources/notes.txt", "");
    fs::create_directories("Resources/folder.rez");
    pack("Effects/e.rez", {});

    names expected{"Resources\\a.REZ", "Resources\\b.rez", "Effects\\e.rez"};
    EXPECT_EQ(as_vector(archive_list()), expected);
    pack("Effects/f.rez", {entry("late.gif", "late")});
    EXPECT_EQ(as_vector(archive_list()), expected);
    EXPECT_EQ(read_resource("*late.gif"), "<none>");

    reset_archive_list();
    expected.push_back("Effects\\f.rez");
    EXPECT_EQ(as_vector(archive_list()), expected);
    EXPECT_EQ(read_resource("*late.gif"), "late");
}

TEST_F(ListFiles, NoArchiveDirectoriesGiveAnEmptyArchiveList) {
    fs::remove("Effects");
    fs::remove("Resources");
    EXPECT_TRUE(archive_list().empty());
    EXPECT_TRUE(list_files("", "", 2).empty());
}

} // namespace
} // namespace zoetra::testing
