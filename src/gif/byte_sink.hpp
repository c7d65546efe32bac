#pragma once
// Where the GIF writer's bytes go. Every sink counts what passes through it,
// so a sink that only counts gives the exact length the same bytes would have
// in a file: estimating a file's size and writing it are one code path.
#include "base/outcome.hpp"
#include "gif/error_words.hpp"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace zoetra {

class byte_sink {
  public:
    virtual ~byte_sink() = default;

    void write(const std::uint8_t* bytes, std::size_t count) {
        count_ += count;
        emit(bytes, count);
    }
    void put(std::uint8_t byte) { write(&byte, 1); }
    // A 16-bit number, least significant byte first.
    void put_word(std::uint16_t value) {
        const std::uint8_t bytes[2] = {std::uint8_t(value & 0xFF), std::uint8_t(value >> 8)};
        write(bytes, 2);
    }

    std::uint64_t byte_count() const { return count_; }

  protected:
    void reset_count() { count_ = 0; }

  private:
    virtual void emit(const std::uint8_t* bytes, std::size_t count) = 0;
    std::uint64_t count_ = 0;
};

// Counts and keeps nothing.
class counting_sink final : public byte_sink {
    void emit(const std::uint8_t*, std::size_t) override {}
};

// Appends to a stream it does not own; remembers the first write that failed.
class file_sink final : public byte_sink {
  public:
    // name: the file's, for the failure's message.
    file_sink(std::FILE* file, std::string name) : file_(file), name_(std::move(name)) {}
    // Whether every byte reached the stream; if not, why, naming the file.
    outcome written() const {
        if (error_ == 0)
            return outcome::success();
        return outcome::failure("\"" + name_ + "\" cannot be written: " + error_words(error_));
    }

  private:
    void emit(const std::uint8_t* bytes, std::size_t count) override {
        if (error_ == 0 && std::fwrite(bytes, 1, count, file_) != count)
            error_ = errno != 0 ? errno : EIO;
    }
    std::FILE* file_;
    std::string name_;
    int error_ = 0;
};

// Keeps the bytes in memory.
class memory_sink final : public byte_sink {
  public:
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::vector<std::uint8_t> take_bytes() { return std::move(bytes_); }
    // Empties the sink for reuse, keeping its storage.
    void clear() {
        bytes_.clear();
        reset_count();
    }

  private:
    void emit(const std::uint8_t* bytes, std::size_t count) override {
        bytes_.insert(bytes_.end(), bytes, bytes + count);
    }
    std::vector<std::uint8_t> bytes_;
};

} // namespace zoetra
