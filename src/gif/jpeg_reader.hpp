#pragma once
// Reading JPEG stills with libjpeg (libjpeg-turbo).
//
// Baseline, extended and progressive files, Huffman or arithmetic coded, in
// YCbCr, RGB or grey, come out as 8-bit red, green and blue, every pixel
// opaque. The decoding keeps the library's defaults, the accurate integer
// inverse DCT and smooth upsampling of the colour planes, so a file gives the
// same pixels on every machine. CMYK and YCCK files are refused, as is any
// other set of colour components.
//
// libjpeg only warns when a file ends early or its coded data is damaged, and
// fills in what is missing; the reader counts those warnings as errors and
// refuses the file. Harmless warnings (stray bytes between markers, an
// unknown JFIF revision, a damaged ICC profile) are passed over.
//
// libjpeg reports an error by calling back and expects the callback never to
// return. The reader's callbacks keep the message and jump back out of the
// library to the reader, which gives up with that message as the reason:
// nothing is printed and the process goes on.
//
// libjpeg takes its working memory from the C library, not from the
// program's allocator. What it may take for the whole-image buffers of
// progressive and multi-scan files is capped (enough for the largest picture
// the size limits let through), and a file with an absurd number of scans is
// refused, so that no file can make the reading take unbounded memory or time.
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

// Progressive files need about ten scans; this many is no picture.
inline constexpr int max_jpeg_scans = 256;

// The image of a JPEG file held in memory, or the reason for none. With a
// size to reach, the library decodes straight to the smallest of its scales
// (1/8 to 8/8) that is at least that wide and high: a photo meant for a small
// frame is then never decoded at full size.
result<std::unique_ptr<buffer>> read_jpeg(const std::uint8_t* data, std::size_t size,
                                          gif_size at_least = {});

// The width and height of the first frame marker (SOF), found from the
// stream's position at the start of the file by walking the markers as
// libjpeg does; none when there is none before the first scan.
std::optional<gif_size> probe_jpeg(std::FILE* file);

} // namespace zoetra
