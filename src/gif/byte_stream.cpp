#include "gif/byte_stream.hpp"

#include <cstring>

namespace zoetra {
namespace {

// The size of what is left of a seekable stream, or none for a pipe.
std::optional<std::size_t> remaining_size(std::FILE* file) {
    long start = std::ftell(file);
    if (start < 0 || std::fseek(file, 0, SEEK_END) != 0)
        return std::nullopt;
    long end = std::ftell(file);
    if (std::fseek(file, start, SEEK_SET) != 0 || end < start)
        return std::nullopt;
    return std::size_t(end - start);
}

// Reads a stream of unknown length in growing chunks.
std::optional<file_bytes> read_unsized(std::FILE* file) {
    file_bytes bytes;
    std::size_t capacity = 0;
    for (;;) {
        if (bytes.size == capacity) {
            if (capacity >= max_gif_file_bytes)
                return std::nullopt;
            std::size_t grown = capacity == 0 ? 65536 : capacity * 2;
            auto larger = allocate_array<std::uint8_t>(grown);
            if (bytes.size != 0)
                std::memcpy(larger.get(), bytes.data.get(), bytes.size);
            bytes.data = std::move(larger);
            capacity = grown;
        }
        std::size_t got = std::fread(bytes.data.get() + bytes.size, 1, capacity - bytes.size, file);
        bytes.size += got;
        if (got == 0)
            return std::ferror(file) ? std::nullopt : std::optional<file_bytes>(std::move(bytes));
    }
}

} // namespace

std::optional<file_bytes> read_whole_file(std::FILE* file) {
    std::optional<std::size_t> size = remaining_size(file);
    if (!size)
        return read_unsized(file);
    if (*size > max_gif_file_bytes)
        return std::nullopt;
    file_bytes bytes;
    // At least one byte, so that an empty file still has a block.
    bytes.data = allocate_array<std::uint8_t>(*size + 1);
    bytes.size = std::fread(bytes.data.get(), 1, *size, file);
    if (bytes.size != *size && std::ferror(file))
        return std::nullopt;
    return bytes;
}

file_bytes copy_bytes(const std::uint8_t* data, std::size_t size) {
    file_bytes bytes;
    bytes.data = allocate_array<std::uint8_t>(size + 1);
    if (size != 0)
        std::memcpy(bytes.data.get(), data, size);
    bytes.size = size;
    return bytes;
}

std::size_t byte_stream::read(std::uint8_t* target, std::size_t count) {
    std::size_t available = count < remaining() ? count : remaining();
    if (available != 0)
        std::memcpy(target, data_ + position_, available);
    position_ += available;
    return available;
}

} // namespace zoetra
