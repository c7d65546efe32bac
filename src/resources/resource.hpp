#pragma once
// Archive-aware file access. A name that begins with "*" is first looked up
// among the entries of the resource archives (".rez" files in the directories
// "Resources" and "Effects"), by the part after its last "\"; only when no
// archive holds it is the file opened from disk, without the star.
//
// Names separate directories with "\" (skin image names, the archive list,
// listed files); every disk access turns "\" into "/", so
// "*Resources\__splash.gif" falls back to the file Resources/__splash.gif
// of the data folder.
#include "base/geometry.hpp"
#include "base/string_list.hpp"

#include <filesystem>
#include <optional>
#include <string_view>

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

// A file on disk by its own path (the person's files: pictures, saved
// animations), or none; a directory is never opened.
file_ptr open_file(const std::string& path, const char* mode);

// The data folder: the folder that holds "Effects" and "Resources", against
// which every resource name is taken (an absolute path stays as it is).
class resource_folder {
  public:
    // The data folder; "." is the current directory.
    explicit resource_folder(std::filesystem::path root = ".");

    const std::filesystem::path& root() const { return root_; }
    // The disk path of a name: "\" becomes "/", and a relative name is taken
    // from the data folder.
    std::filesystem::path disk_path(std::string_view name) const;

    // A stream that reads, seeks and closes like a file opened for binary
    // reading (an archive entry comes back as an anonymous temporary file),
    // or none. Archives are searched only for a starred name opened with
    // exactly "rb"; any other mode goes to disk, so archives are never
    // written. Archive entry names are compared byte for byte; a directory is
    // never opened.
    file_ptr open(const std::string& name, const char* mode) const;

    // Bit 0 of flags lists the directory, bit 1 the archives; directory
    // matches come first (as directory + "\" + file name, sorted by name),
    // archive entries follow as "*" + entry name in archive-list and
    // directory order. Suffixes are compared without regard to letter case;
    // an empty suffix matches everything.
    string_list list(const std::string& directory, const std::string& suffix, int flags) const;

    // The logical screen size of a GIF file, or (0, 0).
    gif_size probe_gif_size(const std::string& name) const;

    // The archive list, built on first use: the ".rez" files of "Resources",
    // then those of "Effects", each as directory + "\" + file name.
    const string_list& archives() const;

  private:
    std::filesystem::path root_;
    mutable std::optional<string_list> archives_;
};

} // namespace zoetra
