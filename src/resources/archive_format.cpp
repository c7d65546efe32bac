#include "resources/archive_format.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zoetra::archive {

std::array<unsigned char, header_size> header_bytes() {
    std::array<unsigned char, header_size> bytes{};
    for (std::size_t i = 0; i < 256; ++i)
        bytes[i] = static_cast<unsigned char>(i);
    std::copy(signature.begin(), signature.end(), bytes.begin() + 256);
    return bytes;
}

namespace {

// Decodes a complemented big-endian 32-bit number.
std::uint32_t decode_number(const unsigned char* stored) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = (value << 8) | complement(stored[i]);
    return value;
}

std::optional<std::uint64_t> file_length(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0)
        return std::nullopt;
    long end = std::ftell(file);
    if (end < 0 || std::fseek(file, 0, SEEK_SET) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(end);
}

bool read_exactly(std::FILE* file, unsigned char* into, std::size_t size) {
    return std::fread(into, 1, size, file) == size;
}

} // namespace

std::optional<reader> reader::open(const std::string& disk_path) {
    file_ptr file(std::fopen(disk_path.c_str(), "rb"));
    if (!file)
        return std::nullopt;
    auto length = file_length(file.get());
    if (!length)
        return std::nullopt;

    std::array<unsigned char, header_size> header{};
    if (!read_exactly(file.get(), header.data(), header.size()) || header != header_bytes())
        return std::nullopt;
    unsigned char stored_count[count_size];
    if (!read_exactly(file.get(), stored_count, count_size))
        return std::nullopt;
    std::uint32_t count = decode_number(stored_count);
    if (count > max_entries)
        return std::nullopt;
    return reader(std::move(file), *length, count);
}

std::optional<record> reader::next() {
    unsigned char stored[record_size];
    while (remaining_ > 0) {
        --remaining_;
        if (!read_exactly(file_.get(), stored, record_size)) {
            remaining_ = 0; // the directory is cut short by the end of the file
            break;
        }
        char name[name_field_size];
        for (std::size_t i = 0; i < name_field_size; ++i)
            name[i] = static_cast<char>(complement(stored[i]));
        const void* terminator = std::memchr(name, '\0', name_field_size);
        record entry;
        entry.offset = decode_number(stored + name_field_size);
        entry.size = decode_number(stored + name_field_size + 4);
        bool usable = terminator != nullptr && name[0] != '\0' && entry.size <= max_entry_size &&
                      std::uint64_t{entry.offset} + entry.size <= length_;
        if (!usable)
            continue;
        entry.name = name; // stops at the terminator found above
        return entry;
    }
    return std::nullopt;
}

file_ptr reader::extract(const record& entry) {
    remaining_ = 0; // seeking to the data ends the directory walk
    file_ptr copy(std::tmpfile());
    if (!copy)
        return nullptr;
    if (entry.size == 0) // an empty vector may have no storage to pass to fread
        return copy;
    std::vector<unsigned char> data(entry.size);
    // The offset fits a long: it was checked against the length from ftell.
    if (std::fseek(file_.get(), static_cast<long>(entry.offset), SEEK_SET) != 0 ||
        !read_exactly(file_.get(), data.data(), data.size()))
        return nullptr;
    for (auto& byte : data)
        byte = complement(byte);
    if (std::fwrite(data.data(), 1, data.size(), copy.get()) != data.size() ||
        std::fflush(copy.get()) != 0 || std::fseek(copy.get(), 0, SEEK_SET) != 0)
        return nullptr;
    return copy;
}

} // namespace zoetra::archive
