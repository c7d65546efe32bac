#pragma once
// A dense array of up to three dimensions whose elements are "UINT8" (1 byte)
// or "UINT16" (2 bytes, native byte order). x varies fastest, then y, then z.
// The only data that travels between the components of an effect network.
#include "base/memory.hpp"

#include <cstdint>
#include <memory>
#include <string>

namespace zoetra {

inline constexpr const char* uint8_type = "UINT8";
inline constexpr const char* uint16_type = "UINT16";

class matrix {
  public:
    // sizes beyond the dimension count are 1. fill, when given, holds
    // element_size bytes copied into every element.
    matrix(int dimension_count, const std::uint16_t sizes[3], int element_size,
           std::string type_name, const void* fill = nullptr);
    matrix(const matrix&) = delete;
    matrix& operator=(const matrix&) = delete;

    std::unique_ptr<matrix> clone() const;

    int dimension_count() const { return dimensions_; }
    std::uint16_t size(int i) const { return sizes_[i]; }
    std::uint32_t element_count() const { return element_count_; }
    std::uint32_t byte_size() const { return byte_size_; }
    int element_size() const { return element_size_; }
    const std::string& type_name() const { return type_name_; }
    bool is_uint8() const { return type_name_ == uint8_type; }
    bool is_uint16() const { return type_name_ == uint16_type; }

    std::uint8_t* data() { return data_.get(); }
    const std::uint8_t* data() const { return data_.get(); }

    // Where element (x, y, z) starts; coordinates are not checked.
    std::uint8_t* element_address(std::uint16_t x, std::uint16_t y, std::uint16_t z) {
        return data_.get() + offset(x, y, z);
    }
    const std::uint8_t* element_address(std::uint16_t x, std::uint16_t y, std::uint16_t z) const {
        return data_.get() + offset(x, y, z);
    }
    void set_element(const void* value, std::uint16_t x, std::uint16_t y, std::uint16_t z);

    // Typed element access for the two element types.
    std::uint8_t& u8(std::uint16_t x, std::uint16_t y = 0, std::uint16_t z = 0) {
        return *element_address(x, y, z);
    }
    std::uint16_t& u16(std::uint16_t x, std::uint16_t y = 0, std::uint16_t z = 0) {
        return *reinterpret_cast<std::uint16_t*>(element_address(x, y, z));
    }
    // Element (x, y, z) read at this matrix's width (UINT16 or else 8 bits).
    unsigned value_at(std::uint16_t x, std::uint16_t y = 0, std::uint16_t z = 0) const;

    // As the program prints it: mode 0 the dimensions and sizes, mode 1 the values.
    std::string dump_text(int mode) const;

  private:
    std::size_t offset(std::uint16_t x, std::uint16_t y, std::uint16_t z) const {
        return ((std::size_t(sizes_[1]) * z + y) * sizes_[0] + x) * element_size_;
    }

    std::string type_name_;
    int dimensions_;
    std::uint16_t sizes_[3];
    std::uint32_t element_count_;
    std::uint32_t byte_size_;
    int element_size_;
    heap_ptr<std::uint8_t> data_;
};

using matrix_ptr = std::unique_ptr<matrix>;

} // namespace zoetra
