#include "gif/picture.hpp"

#include "gif/jpeg_reader.hpp"
#include "gif/png_reader.hpp"

#include <cstring>

namespace zoetra {
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

std::unique_ptr<buffer> decode_picture(file_bytes bytes, std::string& failure) {
    switch (picture_kind_of(bytes.data.get(), bytes.size)) {
    case picture_kind::gif:
        return decode_gif(std::move(bytes), failure);
    case picture_kind::png:
        return read_png(bytes.data.get(), bytes.size, failure);
    case picture_kind::jpeg:
        return read_jpeg(bytes.data.get(), bytes.size, failure);
    case picture_kind::unknown:
        break;
    }
    failure = "not a GIF, PNG or JPEG file";
    return nullptr;
}

std::unique_ptr<buffer> load_picture(const std::string& name, std::string& failure) {
    if (name.empty()) {
        failure = "no file name";
        return nullptr;
    }
    file_ptr file = open_resource(name, "rb");
    if (!file) {
        failure = "cannot open " + name;
        return nullptr;
    }
    std::optional<file_bytes> bytes = read_whole_file(file.get());
    if (!bytes) {
        failure = "cannot read " + name;
        return nullptr;
    }
    file.reset();
    return decode_picture(std::move(*bytes), failure);
}

std::unique_ptr<buffer> load_picture(const std::string& name) {
    std::string failure;
    return load_picture(name, failure);
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
    file_ptr file = open_resource(name, "rb");
    return file ? probe_picture_size(file.get()) : gif_size{};
}

} // namespace zoetra
