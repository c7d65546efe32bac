#pragma once
// Where the GIF writer's bytes go. Every sink counts what passes through it,
// so a sink that only counts gives the exact length the same bytes would have
// in a file: estimating a file's size and writing it are one code path.
#include <cstddef>
#include <cstdint>
#include <cstdio>
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

// Appends to a stream it does not own; remembers whether a write failed.
class file_sink final : public byte_sink {
  public:
    explicit file_sink(std::FILE* file) : file_(file) {}
    bool failed() const { return failed_; }

  private:
    void emit(const std::uint8_t* bytes, std::size_t count) override {
        if (!failed_ && std::fwrite(bytes, 1, count, file_) != count)
            failed_ = true;
    }
    std::FILE* file_;
    bool failed_ = false;
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
