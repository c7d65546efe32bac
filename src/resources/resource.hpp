#pragma once
// Archive-aware file access. A name that begins with "*" is first looked up
// among the entries of the resource archives (".rez" files in the directories
// "Resources" and "Effects"), by the part after its last "\"; only when no
// archive holds it is the file opened from disk, without the star.
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
file_ptr open_resource(const std::string& name, const char* mode);

// Bit 0 of flags lists the directory, bit 1 the archives; directory matches
// come first, archive entries follow as "*" + entry name.
string_list list_files(const std::string& directory, const std::string& suffix, int flags);

struct gif_size {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};
// The logical screen size of a GIF file, or (0, 0).
gif_size probe_gif_size(const std::string& name);

// The archive list, built once on first use.
const string_list& archive_list();
// Forgets the archive list so that the next use builds it again (tests).
void reset_archive_list();

} // namespace zoetra
