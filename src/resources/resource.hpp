#pragma once
// Archive-aware file access. A name that begins with "*" is first looked up
// among the entries of the resource archives (".rez" files in the directories
// "Resources" and "Effects"), by the part after its last "\"; only when no
// archive holds it is the file opened from disk, without the star.
//
// Names separate directories with "\" (skin image names, the archive list,
// listed files); every disk access turns "\" into "/", so
// "*Resources\__splash.gif" falls back to the file Resources/__splash.gif.
// Everything is relative to the current directory.
#include "app/services/string_list.hpp"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace zoetra {

struct file_closer {
    void operator()(std::FILE* f) const {
        if (f != nullptr)
            std::fclose(f);
    }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

// A stream that reads, seeks and closes like a file opened for binary reading
// (an archive entry comes back as an anonymous temporary file), or none.
// Archives are searched only for a starred name opened with exactly "rb"; any
// other mode goes to disk, so archives are never written. Archive entry names
// are compared byte for byte; a directory is never opened.
file_ptr open_resource(const std::string& name, const char* mode);

// Bit 0 of flags lists the directory, bit 1 the archives; directory matches
// come first (as directory + "\" + file name, sorted by name), archive entries
// follow as "*" + entry name in archive-list and directory order. Suffixes are
// compared without regard to letter case; an empty suffix matches everything.
string_list list_files(const std::string& directory, const std::string& suffix, int flags);

struct gif_size {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};
// The logical screen size of a GIF file, or (0, 0).
gif_size probe_gif_size(const std::string& name);

// The archive list, built once on first use: the ".rez" files of "Resources",
// then those of "Effects", each as directory + "\" + file name.
const string_list& archive_list();
// Forgets the archive list so that the next use builds it again (tests).
void reset_archive_list();

} // namespace zoetra
