#include "engine/matrix.hpp"

#include "base/utility.hpp"

#include <cstring>

namespace zoetra {

matrix::matrix(int dimension_count, const std::uint16_t sizes[3], int element_size,
               std::string type_name, const void* fill)
    : type_name_(std::move(type_name)), dimensions_(dimension_count), sizes_{1, 1, 1},
      element_size_(element_size) {
    for (int i = 0; i < 3 && i < dimension_count; ++i)
        sizes_[i] = sizes[i];
    element_count_ = std::uint32_t(sizes_[0]) * sizes_[1] * sizes_[2];
    byte_size_ = element_count_ * std::uint32_t(element_size_);
    data_ = allocate_array<std::uint8_t>(byte_size_);
    if (fill == nullptr)
        return;
    std::uint8_t* out = data_.get();
    if (element_size_ == 1) {
        std::memset(out, *static_cast<const std::uint8_t*>(fill), byte_size_);
        return;
    }
    for (std::uint32_t i = 0; i < element_count_; ++i)
        std::memcpy(out + std::size_t(i) * element_size_, fill, std::size_t(element_size_));
}

std::unique_ptr<matrix> matrix::clone() const {
    auto copy = std::make_unique<matrix>(dimensions_, sizes_, element_size_, type_name_);
    std::memcpy(copy->data(), data(), byte_size_);
    return copy;
}

void matrix::set_element(const void* value, std::uint16_t x, std::uint16_t y, std::uint16_t z) {
    std::memcpy(element_address(x, y, z), value, std::size_t(element_size_));
}

unsigned matrix::value_at(std::uint16_t x, std::uint16_t y, std::uint16_t z) const {
    const std::uint8_t* at = element_address(x, y, z);
    if (is_uint16()) {
        std::uint16_t v;
        std::memcpy(&v, at, 2);
        return v;
    }
    return *at;
}

std::string matrix::dump_text(int mode) const {
    std::string text;
    if (mode == 0) {
        for (int i = 0; i < dimensions_; ++i)
            text += format("Dimension%d = %d\n", i, sizes_[i]);
        text += format("U32_size:%d\n", int(element_count_));
        text += format("U32_mem_size:%d\n", int(byte_size_));
        text += format("U8_element_size:%d\n", element_size_);
        return text;
    }
    if (!is_uint8() && !is_uint16())
        return text;
    const char* pattern = is_uint8() ? "%3d " : "%5d ";
    for (std::uint16_t z = 0; z < sizes_[2]; ++z) {
        for (std::uint16_t y = 0; y < sizes_[1]; ++y) {
            for (std::uint16_t x = 0; x < sizes_[0]; ++x)
                text += format(pattern, value_at(x, y, z));
            text += "\n";
        }
        if (sizes_[2] > 1)
            text += "\n";
    }
    return text;
}

} // namespace zoetra
