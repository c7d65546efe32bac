#include "resources/resource.hpp"

#include "base/utility.hpp"
#include "resources/archive_format.hpp"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace zoetra {

namespace fs = std::filesystem;

namespace {

constexpr char separator = '\\';

// Names use "\\" between directories (the archive list, listed files, skin
// image names); the file system here wants "/".
std::string with_slashes(std::string_view name) {
    std::string path(name);
    std::replace(path.begin(), path.end(), separator, '/');
    return path;
}

bool is_directory(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

bool ends_with_ignoring_case(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           same_name(text.substr(text.size() - suffix.size()), suffix);
}

// The part of a starred name that archive entries are matched against.
std::string_view base_name(std::string_view name) {
    auto last = name.rfind(separator);
    return last == std::string_view::npos ? name.substr(1) : name.substr(last + 1);
}

constexpr int list_directory_flag = 1;
constexpr int list_archives_flag = 2;

} // namespace

file_ptr open_file(const std::string& path, const char* mode) {
    // Opening a directory for reading succeeds here but gives a stream that
    // cannot be read; a directory is never a file to open.
    if (path.empty() || mode == nullptr || is_directory(path))
        return nullptr;
    return file_ptr(std::fopen(path.c_str(), mode));
}

resource_folder::resource_folder(fs::path root) : root_(std::move(root)) {}

fs::path resource_folder::disk_path(std::string_view name) const {
    const fs::path path = with_slashes(name);
    return path.is_absolute() ? path : root_ / path;
}

const string_list& resource_folder::archives() const {
    if (!archives_) {
        string_list built;
        for (const char* directory : {"Resources", "Effects"})
            for (const auto& name : list(directory, ".rez", list_directory_flag))
                built.append(name);
        archives_ = std::move(built);
    }
    return *archives_;
}

file_ptr resource_folder::open(const std::string& name, const char* mode) const {
    if (name.empty() || mode == nullptr)
        return nullptr;
    if (name.front() != '*')
        return open_file(disk_path(name).string(), mode);
    if (std::string_view(mode) == "rb") {
        const std::string_view wanted = base_name(name);
        for (const auto& archive_name : archives()) {
            auto reader = archive::reader::open(disk_path(archive_name).string());
            if (!reader)
                continue;
            while (auto entry = reader->next()) {
                if (entry->name != wanted)
                    continue;
                // Only the first record of that name counts in an archive; if
                // its data cannot be copied, the next archive gets its turn.
                if (auto stream = reader->extract(*entry))
                    return stream;
                break;
            }
        }
    }
    return open_file(disk_path(std::string_view(name).substr(1)).string(), mode);
}

string_list resource_folder::list(const std::string& directory, const std::string& suffix,
                                  int flags) const {
    string_list found;
    if (flags & list_directory_flag) {
        std::string prefix = directory;
        if (!prefix.empty() && prefix.back() != separator)
            prefix += separator;
        std::error_code error;
        fs::directory_iterator it(directory.empty() ? root_ : disk_path(directory), error);
        std::vector<std::string> matches;
        for (; !error && it != fs::directory_iterator(); it.increment(error)) {
            std::error_code type_error;
            if (it->is_directory(type_error))
                continue;
            std::string file_name = it->path().filename().string();
            if (ends_with_ignoring_case(file_name, suffix))
                matches.push_back(std::move(file_name));
        }
        // Directory enumeration order is unspecified on this platform; sorting
        // by name makes the catalogue and the archive precedence reproducible.
        std::sort(matches.begin(), matches.end());
        for (auto& file_name : matches)
            found.append(prefix + file_name);
    }
    if (flags & list_archives_flag) {
        for (const auto& archive_name : archives()) {
            auto reader = archive::reader::open(disk_path(archive_name).string());
            if (!reader)
                continue;
            while (auto entry = reader->next())
                if (ends_with_ignoring_case(entry->name, suffix))
                    found.append("*" + entry->name);
        }
    }
    return found;
}

gif_size resource_folder::probe_gif_size(const std::string& name) const {
    file_ptr file = open(name, "rb");
    unsigned char start[10];
    if (!file || std::fread(start, 1, sizeof start, file.get()) != sizeof start)
        return {};
    if (start[0] != 'G' || start[1] != 'I' || start[2] != 'F')
        return {};
    // Bytes 3..5 hold the version; the logical screen size follows.
    auto little_endian = [&](int at) {
        return static_cast<std::uint16_t>(start[at] | (start[at + 1] << 8));
    };
    return {little_endian(6), little_endian(8)};
}

} // namespace zoetra
