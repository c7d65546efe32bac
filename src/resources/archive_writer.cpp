#include "resources/archive_writer.hpp"

#include "base/utility.hpp"
#include "resources/archive_format.hpp"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

namespace zoetra {

namespace fs = std::filesystem;

namespace {

outcome check_name(const std::string& name) {
    if (name.empty())
        return outcome::failure("an entry name is empty");
    if (name.size() > archive::max_name_length)
        return outcome::failure(format("entry name \"%s\" is longer than %zu characters",
                                       name.c_str(), archive::max_name_length));
    if (name.find_first_of(std::string("\\/\0", 3)) != std::string::npos)
        return outcome::failure(
            format("entry name \"%s\" holds a directory separator or NUL", name.c_str()));
    return outcome::success();
}

outcome check_entries(const std::vector<archive_entry>& entries) {
    if (entries.size() > archive::max_entries)
        return outcome::failure(format("%zu entries; an archive holds at most %u", entries.size(),
                                       archive::max_entries));
    // Data offsets are 32-bit numbers.
    std::uint64_t end = archive::directory_start + entries.size() * archive::record_size;
    for (const auto& entry : entries) {
        if (outcome named = check_name(entry.name); !named)
            return named;
        if (entry.bytes.size() > archive::max_entry_size)
            return outcome::failure(format("entry \"%s\" has %zu bytes; an entry holds at most %u",
                                           entry.name.c_str(), entry.bytes.size(),
                                           archive::max_entry_size));
        end += entry.bytes.size();
    }
    if (end > UINT32_MAX)
        return outcome::failure("the archive would exceed 4 GiB");
    return outcome::success();
}

// Output that complements every byte it is given.
class complemented_writer {
  public:
    explicit complemented_writer(std::ofstream& out) : out_(out) {}
    void bytes(const unsigned char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            out_.put(static_cast<char>(archive::complement(data[i])));
    }
    void number(std::uint32_t value) {
        unsigned char big_endian[4] = {
            static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
            static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
        bytes(big_endian, 4);
    }

  private:
    std::ofstream& out_;
};

void write_layout(std::ofstream& out, const std::vector<archive_entry>& entries) {
    auto header = archive::header_bytes();
    out.write(reinterpret_cast<const char*>(header.data()), header.size());
    complemented_writer body(out);
    body.number(static_cast<std::uint32_t>(entries.size()));
    // Data follows the directory, in entry order.
    auto offset = static_cast<std::uint32_t>(archive::directory_start +
                                             entries.size() * archive::record_size);
    for (const auto& entry : entries) {
        unsigned char name[archive::name_field_size] = {};
        std::copy(entry.name.begin(), entry.name.end(), name);
        body.bytes(name, sizeof name);
        body.number(offset);
        body.number(static_cast<std::uint32_t>(entry.bytes.size()));
        offset += static_cast<std::uint32_t>(entry.bytes.size());
    }
    for (const auto& entry : entries)
        body.bytes(entry.bytes.data(), entry.bytes.size());
}

result<archive_entry> read_entry_file(const std::string& file) {
    std::error_code status;
    if (!fs::is_regular_file(file, status))
        return outcome::failure(format("\"%s\" is not a readable file", file.c_str()));
    archive_entry entry;
    std::ifstream in(file, std::ios::binary);
    // One byte more than an entry may hold tells an oversized file apart.
    entry.bytes.resize(archive::max_entry_size + 1);
    in.read(reinterpret_cast<char*>(entry.bytes.data()),
            static_cast<std::streamsize>(entry.bytes.size()));
    if (in.bad() || (!in && !in.eof()))
        return outcome::failure(format("cannot read \"%s\"", file.c_str()));
    entry.bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (entry.bytes.size() > archive::max_entry_size)
        return outcome::failure(
            format("\"%s\" is larger than %u bytes, the most an archive entry holds", file.c_str(),
                   archive::max_entry_size));
    entry.name = fs::path(file).filename().string();
    return entry;
}

} // namespace

outcome write_archive(const std::string& path, const std::vector<archive_entry>& entries) {
    if (outcome checked = check_entries(entries); !checked)
        return checked;
    // Written beside the target and renamed over it, so a failure never
    // leaves a half-written archive where a good one was.
    std::string partial = path + ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (out)
            write_layout(out, entries);
        if (out)
            out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(partial, ignored);
            return outcome::failure(format("cannot write \"%s\"", path.c_str()));
        }
    }
    std::error_code renamed;
    fs::rename(partial, path, renamed);
    if (renamed) {
        fs::remove(partial, renamed);
        return outcome::failure(format("cannot write \"%s\"", path.c_str()));
    }
    return outcome::success();
}

outcome pack_files(const std::string& path, const std::vector<std::string>& files) {
    if (files.size() > archive::max_entries)
        return outcome::failure(
            format("%zu files; an archive holds at most %u", files.size(), archive::max_entries));
    std::vector<archive_entry> entries;
    std::set<std::string> names;
    std::uint64_t total = 0;
    for (const auto& file : files) {
        result<archive_entry> entry = read_entry_file(file);
        if (!entry)
            return outcome::failure(entry.message());
        total += archive::record_size + entry.value().bytes.size();
        if (total > UINT32_MAX)
            return outcome::failure("the archive would exceed 4 GiB");
        if (!names.insert(entry.value().name).second)
            return outcome::failure(
                format("two files are named \"%s\"; only the first could be found",
                       entry.value().name.c_str()));
        entries.push_back(std::move(entry.value()));
    }
    return write_archive(path, entries);
}

} // namespace zoetra
