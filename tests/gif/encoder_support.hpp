#pragma once
// Test helpers for the GIF writer: reading written files back with giflib, an
// independent decoder, and scratch files.
#include <gif_lib.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace zoetra::test {

struct decoded_frame {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> indices;
    bool has_control = false;
    int delay = -1;
    int disposal = -1;
    int transparent_index = -1;
};

struct decoded_gif {
    int width = 0, height = 0;
    int background = -1;
    std::vector<std::uint8_t> global_table; // 3 bytes per entry
    std::optional<int> repeat_count;        // from the loop extension
    std::vector<decoded_frame> frames;
};

inline std::optional<int> repeat_count_of(const ExtensionBlock* blocks, int count) {
    for (int i = 0; i + 1 < count; ++i)
        if (blocks[i].Function == APPLICATION_EXT_FUNC_CODE && blocks[i].ByteCount == 11 &&
            std::memcmp(blocks[i].Bytes, "NETSCAPE2.0", 11) == 0 && blocks[i + 1].ByteCount == 3 &&
            blocks[i + 1].Bytes[0] == 1)
            return blocks[i + 1].Bytes[1] | (blocks[i + 1].Bytes[2] << 8);
    return std::nullopt;
}

// Decodes a whole file held in memory with giflib; none when giflib refuses it.
inline std::optional<decoded_gif> decode_with_giflib(const std::vector<std::uint8_t>& bytes) {
    struct reader {
        const std::vector<std::uint8_t>* bytes;
        std::size_t position;
    } state{&bytes, 0};
    auto read = [](GifFileType* gif, GifByteType* target, int count) -> int {
        auto* r = static_cast<reader*>(gif->UserData);
        const std::size_t left = r->bytes->size() - r->position;
        const std::size_t n = std::min(left, std::size_t(count));
        std::memcpy(target, r->bytes->data() + r->position, n);
        r->position += n;
        return int(n);
    };
    int error = 0;
    GifFileType* gif = DGifOpen(&state, read, &error);
    if (gif == nullptr)
        return std::nullopt;
    std::optional<decoded_gif> out;
    if (DGifSlurp(gif) == GIF_OK) {
        out.emplace();
        out->width = gif->SWidth;
        out->height = gif->SHeight;
        out->background = gif->SBackGroundColor;
        if (gif->SColorMap != nullptr)
            for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
                const GifColorType& c = gif->SColorMap->Colors[i];
                out->global_table.insert(out->global_table.end(), {c.Red, c.Green, c.Blue});
            }
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& image = gif->SavedImages[i];
            decoded_frame frame;
            frame.left = image.ImageDesc.Left;
            frame.top = image.ImageDesc.Top;
            frame.width = image.ImageDesc.Width;
            frame.height = image.ImageDesc.Height;
            frame.indices.assign(image.RasterBits,
                                 image.RasterBits + std::size_t(frame.width) * frame.height);
            GraphicsControlBlock control;
            if (DGifSavedExtensionToGCB(gif, i, &control) == GIF_OK) {
                frame.has_control = true;
                frame.delay = control.DelayTime;
                frame.disposal = control.DisposalMode;
                frame.transparent_index = control.TransparentColor;
            }
            if (!out->repeat_count)
                out->repeat_count =
                    repeat_count_of(image.ExtensionBlocks, image.ExtensionBlockCount);
            out->frames.push_back(std::move(frame));
        }
        if (!out->repeat_count)
            out->repeat_count = repeat_count_of(gif->ExtensionBlocks, gif->ExtensionBlockCount);
    }
    DGifCloseFile(gif, &error);
    return out;
}

// A scratch directory for this test program's files.
inline std::filesystem::path scratch_directory() {
    const char* base = std::getenv("ZOETRA_TEST_TMP");
    std::filesystem::path dir =
        std::filesystem::path(base != nullptr ? base : ZOETRA_BINARY_DIR "/test-tmp") / "gif";
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::vector<std::uint8_t> read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A cheap deterministic noise source.
class noise {
  public:
    explicit noise(std::uint32_t seed = 12345) : state_(seed) {}
    int next(int range) {
        state_ = state_ * 1103515245u + 12345u;
        return int((state_ >> 16) % unsigned(range));
    }

  private:
    std::uint32_t state_;
};

} // namespace zoetra::test
