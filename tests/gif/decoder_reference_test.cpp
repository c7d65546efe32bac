// The reader against giflib on files from other encoders (made at test time
// by make_reference_corpus.py): every frame composed by the reader must equal
// giflib's indices composed by the same rules, pixel for pixel, transparency
// flags included.
#include "decoder_support.hpp"

#include "gif/decoder.hpp"

#include <gif_lib.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

namespace zoetra::decoder_test {
namespace {

namespace fs = std::filesystem;

struct composed_file {
    int width = 0;
    int height = 0;
    std::vector<std::vector<pixel>> frames;
};

std::array<pixel, 256> colours_of(const ColorMapObject* map, std::array<pixel, 256> table) {
    if (map != nullptr)
        for (int i = 0; i < map->ColorCount && i < 256; ++i)
            table[std::size_t(i)] = (pixel(map->Colors[i].Red) << 16) |
                                    (pixel(map->Colors[i].Green) << 8) | map->Colors[i].Blue;
    return table;
}

// giflib's indices composed as the reader's rules say: a canvas of the
// background colour with the transparent flag, local tables over the global
// one, transparent indices skipped, disposal 2 clearing the frame's
// rectangle afterwards and disposal 4 (only 4) restoring the canvas.
std::optional<composed_file> compose_with_giflib(const fs::path& path) {
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.string().c_str(), &error);
    if (gif == nullptr)
        return std::nullopt;
    if (DGifSlurp(gif) != GIF_OK) {
        DGifCloseFile(gif, &error);
        return std::nullopt;
    }
    composed_file file{gif->SWidth, gif->SHeight, {}};
    const auto global = colours_of(gif->SColorMap, {});
    const pixel background = global[std::size_t(gif->SBackGroundColor)] | transparent_flag;
    std::vector<pixel> canvas(std::size_t(file.width) * file.height, background);
    for (int f = 0; f < gif->ImageCount; ++f) {
        const SavedImage& image = gif->SavedImages[f];
        const GifImageDesc& d = image.ImageDesc;
        GraphicsControlBlock control{0, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(gif, f, &control);
        const auto table = colours_of(d.ColorMap, global);
        const std::vector<pixel> saved = canvas;
        for (int y = 0; y < d.Height && d.Top + y < file.height; ++y)
            for (int x = 0; x < d.Width && d.Left + x < file.width; ++x) {
                const int index = image.RasterBits[std::size_t(y) * d.Width + x];
                if (index != control.TransparentColor)
                    canvas[std::size_t(d.Top + y) * file.width + d.Left + x] = table[index];
            }
        file.frames.push_back(canvas);
        if (control.DisposalMode == 4)
            canvas = saved;
        if (control.DisposalMode == 2)
            for (int y = 0; y < d.Height && d.Top + y < file.height; ++y)
                for (int x = 0; x < d.Width && d.Left + x < file.width; ++x)
                    canvas[std::size_t(d.Top + y) * file.width + d.Left + x] = background;
    }
    DGifCloseFile(gif, &error);
    return file;
}

fs::path corpus_directory() {
    const char* base = std::getenv("ZOETRA_TEST_TMP");
    return fs::path(base != nullptr ? base : ZOETRA_BINARY_DIR "/test-tmp") /
           "gif-reference-corpus";
}

// Makes the corpus; an empty list (and a failed test) when a tool is missing.
std::vector<fs::path> make_corpus() {
    const std::string python = ZOETRA_PYTHON;
    if (python.empty() || python.find("NOTFOUND") != std::string::npos) {
        ADD_FAILURE()
            << "the reference corpus needs a python3 with PIL (apt-get install python3-pil)";
        return {};
    }
    const fs::path out = corpus_directory();
    const std::string command =
        "\"" + python + "\" \"" ZOETRA_SOURCE_DIR "/tests/gif/make_reference_corpus.py\" \"" +
        out.string() + "\"";
    if (std::system(command.c_str()) != 0) {
        ADD_FAILURE() << "making the reference corpus failed (see the message above): " << command;
        return {};
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(out))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(GifReference, EveryFrameOfFilesFromOtherEncodersMatchesGiflib) {
    const std::vector<fs::path> files = make_corpus();
    if (files.empty())
        return;
    for (const fs::path& path : files) {
        SCOPED_TRACE(path.filename().string());
        std::optional<composed_file> expected = compose_with_giflib(path);
        ASSERT_TRUE(expected) << "giflib cannot read it";
        ASSERT_FALSE(expected->frames.empty());

        std::unique_ptr<buffer> first = load_gif(path.string());
        ASSERT_TRUE(first);
        EXPECT_EQ(first->width(), expected->width);
        EXPECT_EQ(first->height(), expected->height);
        EXPECT_TRUE(pixels_of(*first) == expected->frames[0]) << "first frame differs";

        gif_reader reader;
        ASSERT_TRUE(reader.open(path.string())) << reader.failure();
        std::size_t count = 0;
        while (auto frame = reader.read_frame()) {
            ASSERT_LT(count, expected->frames.size());
            EXPECT_TRUE(pixels_of(*frame) == expected->frames[count]) << "frame " << count;
            ++count;
        }
        EXPECT_EQ(reader.failure(), "");
        EXPECT_EQ(count, expected->frames.size());
    }
}

} // namespace
} // namespace zoetra::decoder_test
