#include "resources/resource.hpp"

#include "app/services/process_state.hpp"
#include "app/services/utility.hpp"
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

// Names use "\" between directories (the archive list, listed files, skin
// image names); the file system here wants "/".
std::string disk_path(std::string_view name) {
    std::string path(name);
    std::replace(path.begin(), path.end(), separator, '/');
    return path;
}

bool is_directory(const std::string& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

file_ptr open_from_disk(std::string_view name, const char* mode) {
    std::string path = disk_path(name);
    // Opening a directory for reading succeeds here but gives a stream that
    // cannot be read; a directory is never a resource.
    if (path.empty() || is_directory(path))
        return nullptr;
    return file_ptr(std::fopen(path.c_str(), mode));
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

file_ptr open_from_archives(std::string_view base) {
    for (const auto& archive_name : archive_list()) {
        auto reader = archive::reader::open(disk_path(archive_name));
        if (!reader)
            continue;
        while (auto entry = reader->next()) {
            if (entry->name != base)
                continue;
            // Only the first record of that name counts in an archive; if its
            // data cannot be copied, the next archive gets its turn.
            if (auto stream = reader->extract(*entry))
                return stream;
            break;
        }
    }
    return nullptr;
}

void list_directory(const std::string& directory, const std::string& suffix, string_list& out) {
    std::string prefix = directory;
    if (!prefix.empty() && prefix.back() != separator)
        prefix += separator;

    std::error_code error;
    fs::directory_iterator it(directory.empty() ? std::string(".") : disk_path(directory), error);
    std::vector<std::string> matches;
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code type_error;
        if (it->is_directory(type_error))
            continue;
        std::string file_name = it->path().filename().string();
        if (ends_with_ignoring_case(file_name, suffix))
            matches.push_back(std::move(file_name));
    }
    // Directory enumeration order is unspecified on this platform; sorting by
    // name makes the catalogue and the archive precedence reproducible.
    std::sort(matches.begin(), matches.end());
    for (auto& file_name : matches)
        out.append(prefix + file_name);
}

void list_archives(const std::string& suffix, string_list& out) {
    for (const auto& archive_name : archive_list()) {
        auto reader = archive::reader::open(disk_path(archive_name));
        if (!reader)
            continue;
        while (auto entry = reader->next()) {
            if (ends_with_ignoring_case(entry->name, suffix))
                out.append("*" + entry->name);
        }
    }
}

constexpr int list_directory_flag = 1;
constexpr int list_archives_flag = 2;

std::optional<string_list>& archive_list_storage() {
    static std::optional<string_list> list;
    static const bool resettable = (on_process_reset([] { list.reset(); }), true);
    (void)resettable;
    return list;
}

} // namespace

const string_list& archive_list() {
    auto& list = archive_list_storage();
    if (!list) {
        string_list built;
        for (const char* directory : {"Resources", "Effects"}) {
            for (const auto& name : list_files(directory, ".rez", list_directory_flag))
                built.append(name);
        }
        list = std::move(built);
    }
    return *list;
}

void reset_archive_list() {
    archive_list_storage().reset();
}

file_ptr open_resource(const std::string& name, const char* mode) {
    archive_list();
    if (name.empty() || mode == nullptr)
        return nullptr;
    if (name.front() != '*')
        return open_from_disk(name, mode);
    if (std::string_view(mode) == "rb") {
        if (auto stream = open_from_archives(base_name(name)))
            return stream;
    }
    return open_from_disk(std::string_view(name).substr(1), mode);
}

string_list list_files(const std::string& directory, const std::string& suffix, int flags) {
    string_list found;
    if (flags & list_directory_flag)
        list_directory(directory, suffix, found);
    if (flags & list_archives_flag)
        list_archives(suffix, found);
    return found;
}

gif_size probe_gif_size(const std::string& name) {
    file_ptr file = open_resource(name, "rb");
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
