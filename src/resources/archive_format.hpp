#pragma once
// The ".rez" archive layout, shared by the reader and the writer.
//
//   0    256 bytes   the byte values 0..255 in order
//   256  14 bytes    "QuorvanelMunge"
//   270  4 bytes     entry count, big-endian
//   274  265 x N     directory records: 257-byte NUL-padded name,
//                    4-byte data offset, 4-byte data size (big-endian)
//   ...              entry data at the recorded offsets
//
// Every byte after the 270-byte header is stored complemented (255 - value).
#include "resources/resource.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zoetra::archive {

inline constexpr std::size_t header_size = 270;
inline constexpr std::string_view signature = "QuorvanelMunge";
inline constexpr std::size_t count_size = 4;
inline constexpr std::size_t name_field_size = 257;
inline constexpr std::size_t record_size = name_field_size + 4 + 4;
inline constexpr std::size_t directory_start = header_size + count_size;
// The reader counts entries and data bytes with 16-bit counters.
inline constexpr std::uint32_t max_entries = 65535;
inline constexpr std::uint32_t max_entry_size = 65535;
inline constexpr std::size_t max_name_length = name_field_size - 1;

// The 270 plain header bytes every archive starts with.
std::array<unsigned char, header_size> header_bytes();

inline unsigned char complement(unsigned char byte) {
    return static_cast<unsigned char>(~byte);
}

// One directory record whose data lies wholly inside the archive file.
struct record {
    std::string name;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

// Walks the directory of one archive file. Malformed archives are expected
// (they are plain files anybody may drop into the directories), so nothing
// here trusts the count, the offsets or the sizes:
// - a short or different header, or a count above 65,535, makes the archive
//   unusable;
// - records are read one at a time, so a count that claims more records than
//   the file holds just ends the walk at the end of the file;
// - a record whose name has no NUL or is empty, whose size exceeds 65,535, or
//   whose data runs past the end of the file is skipped as if it were absent,
//   by look-ups and listings alike.
class reader {
  public:
    // An open archive with a valid header and count, or none.
    static std::optional<reader> open(const std::string& disk_path);

    // The next usable record in directory order, or none at the end.
    std::optional<record> next();

    // The decoded data of a record as an anonymous temporary file positioned
    // at its start, or none when the temporary file cannot be made or the
    // archive no longer holds the data.
    file_ptr extract(const record& entry);

  private:
    reader(file_ptr file, std::uint64_t length, std::uint32_t count)
        : file_(std::move(file)), length_(length), remaining_(count) {}

    file_ptr file_;
    std::uint64_t length_;
    std::uint32_t remaining_;
};

} // namespace zoetra::archive
