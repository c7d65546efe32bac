#include "gif/picture.hpp"

#include "gif/error_words.hpp"
#include "gif/jpeg_reader.hpp"
#include "gif/png_reader.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace zoetra {

namespace fs = std::filesystem;

namespace {

std::optional<gif_size> probe_gif(std::FILE* file) {
    // "GIF", the version, then the logical screen's width and height.
    std::uint8_t start[10];
    if (std::fread(start, 1, sizeof start, file) != sizeof start ||
        picture_kind_of(start, sizeof start) != picture_kind::gif)
        return std::nullopt;
    const std::uint32_t width = start[6] | (start[7] << 8);
    const std::uint32_t height = start[8] | (start[9] << 8);
    if (!readable_picture_size(width, height))
        return std::nullopt;
    return gif_size{std::uint16_t(width), std::uint16_t(height)};
}

} // namespace

picture_kind picture_kind_of(const std::uint8_t* start, std::size_t size) {
    if (size >= 3 && std::memcmp(start, "GIF", 3) == 0)
        return picture_kind::gif;
    if (size >= sizeof png_signature &&
        std::memcmp(start, png_signature, sizeof png_signature) == 0)
        return picture_kind::png;
    if (size >= 3 && start[0] == 0xFF && start[1] == 0xD8 && start[2] == 0xFF)
        return picture_kind::jpeg;
    return picture_kind::unknown;
}

result<std::unique_ptr<buffer>> decode_picture(file_bytes bytes) {
    return decode_picture(std::move(bytes), gif_size{});
}

result<std::unique_ptr<buffer>> decode_picture(file_bytes bytes, gif_size at_least) {
    switch (picture_kind_of(bytes.data.get(), bytes.size)) {
    case picture_kind::gif:
        return decode_gif(std::move(bytes));
    case picture_kind::png:
        return read_png(bytes.data.get(), bytes.size);
    case picture_kind::jpeg:
        return read_jpeg(bytes.data.get(), bytes.size, at_least);
    case picture_kind::unknown:
        break;
    }
    return outcome::failure("not a GIF, PNG or JPEG file");
}

namespace {

outcome unreadable(const std::string& name, const std::string& why) {
    return outcome::failure("\"" + name + "\" cannot be read: " + why);
}

} // namespace

result<std::unique_ptr<buffer>> open_picture(const std::string& name) {
    return open_picture(name, gif_size{}); // whole
}

result<std::unique_ptr<buffer>> open_picture(const std::string& name, gif_size at_least) {
    const std::string quoted = "\"" + name + "\"";
    if (name.empty())
        return outcome::failure("no picture was named");
    if (name.front() != '*') {
        // Names may use "\\" between folders, as the resource names do.
        std::string path = name;
        std::replace(path.begin(), path.end(), '\\', '/');
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (status.type() == fs::file_type::not_found)
            return outcome::failure(quoted + " does not exist");
        if (status.type() == fs::file_type::directory)
            return outcome::failure(quoted + " is a folder, not a picture");
    }
    errno = 0;
    file_ptr file = open_file(name, "rb");
    if (!file)
        return unreadable(name, errno != 0 ? error_words(errno) : "it cannot be opened");
    errno = 0;
    std::optional<file_bytes> bytes = read_whole_file(file.get());
    if (!bytes)
        return unreadable(name, errno != 0 ? error_words(errno) : "it is larger than 1 GB");
    file.reset();
    const picture_kind kind = picture_kind_of(bytes->data.get(), bytes->size);
    if (kind == picture_kind::unknown)
        return outcome::failure(quoted + " is not a GIF, PNG or JPEG picture");
    result<std::unique_ptr<buffer>> picture = decode_picture(std::move(*bytes), at_least);
    if (picture)
        return picture;
    // The readers' refusals of what they do not take (their size limits,
    // colour models they leave out) end in these words; every other refusal
    // of a file of a known kind is damage to it.
    const std::string& reason = picture.message();
    const std::string_view said = reason;
    if (said.ends_with("too large") || said.ends_with("not read"))
        return outcome::failure(quoted + " cannot be used: " + reason);
    return outcome::failure(quoted + " is damaged: " + reason);
}

result<std::unique_ptr<buffer>> read_picture(const std::string& name) {
    if (name.empty())
        return outcome::failure("no file name");
    file_ptr file = open_file(name, "rb");
    if (!file)
        return outcome::failure("cannot open " + name);
    std::optional<file_bytes> bytes = read_whole_file(file.get());
    if (!bytes)
        return outcome::failure("cannot read " + name);
    file.reset();
    return decode_picture(std::move(*bytes));
}

std::unique_ptr<buffer> load_picture(const std::string& name) {
    result<std::unique_ptr<buffer>> picture = read_picture(name);
    return picture ? std::move(picture.value()) : nullptr;
}

gif_size probe_picture_size(std::FILE* file) {
    const long start = std::ftell(file);
    std::uint8_t first[8];
    const std::size_t got = std::fread(first, 1, sizeof first, file);
    if (start < 0 || std::fseek(file, start, SEEK_SET) != 0)
        return {};
    std::optional<gif_size> size;
    switch (picture_kind_of(first, got)) {
    case picture_kind::gif:
        size = probe_gif(file);
        break;
    case picture_kind::png:
        size = probe_png(file);
        break;
    case picture_kind::jpeg:
        size = probe_jpeg(file);
        break;
    case picture_kind::unknown:
        break;
    }
    return size.value_or(gif_size{});
}

gif_size probe_picture_size(const std::string& name) {
    file_ptr file = open_file(name, "rb");
    return file ? probe_picture_size(file.get()) : gif_size{};
}

} // namespace zoetra
