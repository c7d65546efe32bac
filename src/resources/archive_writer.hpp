#pragma once
// Writing ".rez" archives (the packer tool and tests; the program itself only
// reads archives).
#include "base/outcome.hpp"

#include <string>
#include <vector>

namespace zoetra {

struct archive_entry {
    std::string name; // a file name without directories, 1 to 256 characters
    std::vector<unsigned char> bytes;
};

// Writes the entries, in order, as an archive at path. Refuses (with the
// reason, path untouched) more than 65,535 entries, an entry above
// 65,535 bytes, and a name that is empty, too long or holds "\", "/" or NUL.
// Duplicate names are written as given (the first one wins on look-up).
outcome write_archive(const std::string& path, const std::vector<archive_entry>& entries);

// Packs disk files under their file names (directories dropped) into an
// archive at path. Also refuses missing files and two files of one name.
outcome pack_files(const std::string& path, const std::vector<std::string>& files);

} // namespace zoetra
