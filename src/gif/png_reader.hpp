#pragma once
// Reading PNG stills with libpng.
//
// Every colour type and bit depth comes out as 8-bit red, green and blue with
// an alpha: palettes are expanded (their tRNS entries give the alpha), grey
// is spread over the three colours, depths below 8 bits are widened, 16-bit
// samples keep their high byte, and a tRNS colour key becomes alpha 0. A
// pixel whose alpha is below one half (under 128) is transparent: it keeps
// its colour and gets the transparent flag; every other pixel is opaque.
// Gamma, colour profiles and every other ancillary chunk are passed over, so
// the colours are the file's own numbers. Interlaced files are put together
// here, pass by pass, straight into the buffer.
//
// libpng reports an error by calling back and expects the callback never to
// return. The reader's callback keeps the message and jumps back out of the
// library to the reader, which gives up with that message as the reason:
// nothing is printed and the process goes on. Warnings are dropped.
#include "base/outcome.hpp"
#include "raster/buffer.hpp"
#include "resources/resource.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace zoetra {

// The eight bytes every PNG file begins with.
inline constexpr std::uint8_t png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The image of a PNG file held in memory, or the reason for none.
result<std::unique_ptr<buffer>> read_png(const std::uint8_t* data, std::size_t size);

// The width and height of the IHDR chunk that must follow the signature, read
// from the stream's position at the signature; none without one.
std::optional<gif_size> probe_png(std::FILE* file);

} // namespace zoetra
