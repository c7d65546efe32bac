// The LZW decoder against the step-by-step reference and hand-made code
// streams; the LZW coder against the plain reference coder and giflib.
#include "gif_support.hpp"

#include "gif/byte_sink.hpp"
#include "gif/lzw_decoder.hpp"
#include "gif/lzw_encoder.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace zoetra::test {
namespace {

struct decoded {
    lzw_status status;
    bytes indices;
    std::size_t stream_position; // where the stream stood afterwards
};

decoded decode(const bytes& raster, int width, int height, bool interlaced = false) {
    byte_stream stream(raster.data(), raster.size());
    decoded result{lzw_status::decoded, bytes(std::size_t(width) * height + 1, 0), 0};
    result.indices.back() = 0xEE;
    bytes line(std::size_t(width) + 1);
    auto decoder = std::make_unique<lzw_decoder>();
    result.status = decoder->decode(stream, interlaced, std::uint16_t(width), std::uint16_t(height),
                                    result.indices.data(), line.data());
    EXPECT_EQ(result.indices.back(), 0xEE) << "wrote past the index buffer";
    result.indices.pop_back();
    result.stream_position = stream.position();
    return result;
}

// Indices that repeat the previous one with the given chance in percent.
bytes random_image(std::mt19937& random, std::size_t count, int colours, int run_bias) {
    bytes indices(count);
    for (std::size_t i = 0; i < count; ++i)
        indices[i] = i > 0 && int(random() % 100) < run_bias ? indices[i - 1]
                                                             : std::uint8_t(random() % colours);
    return indices;
}

TEST(LzwDecode, MatchesTheReferenceOnValidCutAndCorruptStreams) {
    std::mt19937 random(11);
    for (int trial = 0; trial < 800; ++trial) {
        const int code_size = 2 + int(random() % 8);
        const bool large = random() % 3 == 0; // large images fill the table
        const int width = 1 + int(random() % (large ? 400 : 40));
        const int height = 1 + int(random() % (large ? 200 : 30));
        const bool interlaced = random() % 3 == 0, cut = random() % 5 == 0;
        const std::size_t count = std::size_t(width) * height;
        bytes raster, indices;
        if (trial % 4 == 0) { // valid, one in five cut short
            indices = random_image(random, count, 1 << std::min(code_size, 8), trial % 3 * 40);
            raster = raster_data(code_size, plain_lzw(indices, code_size, random() % 2 == 0));
            if (cut)
                raster.resize(1 + random() % raster.size());
        } else if (trial % 4 == 1) { // codes up to a few beyond the table, clear codes
            code_writer writer(code_size);
            for (int i = 0, n = int(random() % 600); i < n; ++i) {
                const int roll = int(random() % 100);
                writer.put(std::min(4095, roll < 3    ? writer.clear_code()
                                          : roll < 10 ? writer.next_free() + int(random() % 3)
                                                      : int(random() % writer.next_free())));
            }
            raster = raster_data(code_size, writer.data(), 1 + random() % 255);
        } else if (trial % 4 == 2) { // long strings, a full table kept without a clear code
            raster = raster_data(
                code_size, plain_lzw(bytes(count, std::uint8_t(random() % 4)), code_size, true));
        } else { // noise
            raster = {std::uint8_t(code_size)};
            for (int i = 0, n = int(random() % 400); i < n; ++i)
                raster.push_back(std::uint8_t(random()));
        }
        const reference_result expected = reference_lzw_decode(raster, interlaced, width, height);
        const decoded result = decode(raster, width, height, interlaced);
        ASSERT_EQ(result.status, expected.status) << "trial " << trial;
        ASSERT_EQ(result.indices, expected.indices) << "trial " << trial;
        ASSERT_EQ(result.stream_position, expected.end_of_data) << "trial " << trial;
        if (!indices.empty() && !cut && !interlaced) { // a round trip
            ASSERT_EQ(result.indices, indices) << "trial " << trial;
        }
    }
}

TEST(LzwDecode, HandMadeCodeStreams) {
    struct stream_case {
        const char* name;
        int code_size;
        std::vector<int> codes;
        bytes expected;
        int height = 1;
    } const cases[] = {
        {"roots above 255 give their low 8 bits", 9, {512, 300, 7, 511, 513}, {44, 7, 255}},
        {"6 (being made) is 1 1, 7 is 1 1 1", 2, {4, 1, 6, 7, 2, 5}, {1, 1, 1, 1, 1, 1, 2}},
        {"without a clear first, 6 is 0 3", 2, {3, 6, 5}, {3, 0, 3}},
        {"clears in a row; 7 after a clear is 0", 2, {4, 4, 4, 2, 4, 7, 1, 5}, {2, 0, 1}},
        {"data that stops loses the partial row",
         2,
         {4, 1, 2, 3, 1, 2, 3, 1, 2, 3, 1},
         {1, 2, 3, 1, 2, 3, 1, 2, 0, 0, 0, 0},
         3},
        {"an end code keeps the partial row",
         2,
         {4, 1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 5},
         {1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 0, 0},
         3},
    };
    for (const stream_case& c : cases) {
        code_writer writer(c.code_size);
        const bytes raster = raster_data(c.code_size, writer.put_all(c.codes).data());
        const decoded result = decode(raster, int(c.expected.size()) / c.height, c.height);
        EXPECT_EQ(result.status, lzw_status::decoded);
        EXPECT_EQ(result.indices, c.expected) << c.name;
    }
    for (int size : {0, 1, 10, 11, 255})
        EXPECT_EQ(decode({std::uint8_t(size), 1, 0, 0}, 2, 2).status, lzw_status::bad_code_size);
    EXPECT_EQ(decode({}, 2, 2).status, lzw_status::end_of_file);
    EXPECT_EQ(decode(raster_data(2, plain_lzw(bytes(8, 1), 2)), 0, 5).status,
              lzw_status::decoded); // empty image

    // A code beyond the table makes entry 7's prefix name entry 20; later
    // entry 20 gets prefix 7, and code 7 loops between them until the stack is
    // full, which ends the image like data that stops.
    code_writer cycle(2);
    cycle.put_all({4, 1, 20});
    while (cycle.next_free() < 20)
        cycle.put(7);
    const bytes raster = raster_data(2, cycle.put_all({7, 7}).data());
    const decoded result = decode(raster, 64, 64);
    EXPECT_EQ(result.status, lzw_status::decoded);
    EXPECT_EQ(result.indices, reference_lzw_decode(raster, false, 64, 64).indices);
}

bytes encode(const bytes& input, int code_size = 8) {
    memory_sink sink;
    lzw_encode(code_size + 1, sink, input.data(), input.size());
    return sink.bytes();
}

bytes random_indices(std::size_t count, int range, std::uint32_t seed = 7) {
    std::mt19937 random(seed);
    return random_image(random, count, range, 0);
}

TEST(LzwEncode, EqualsThePlainCoderCountsItsBytesAndGiflibReadsIt) {
    struct sample {
        const char* name;
        bytes input;
        int width;
        int code_size = 8;
    };
    bytes gradient(250 * 350);
    for (std::size_t i = 0; i < gradient.size(); ++i)
        gradient[i] = std::uint8_t((i % 350) * 255 / 349 ^ (i / 350 % 4));
    bytes zero_heavy = random_indices(100000, 2, 3); // key 0 after prefix 0 is found too
    for (auto& v : zero_heavy)
        v = v ? 255 : 0;
    const sample samples[] = {{"empty", {}, 0},
                              {"single", {42}, 1},
                              {"pair", {0, 0}, 2},
                              {"zeros", bytes(200000, 0), 1000},
                              {"random", random_indices(300000, 256), 1000},
                              {"few values", random_indices(300000, 3, 99), 1000},
                              {"gradient", gradient, 350},
                              {"zero heavy", zero_heavy, 1000},
                              {"code size 2", random_indices(40000, 4), 200, 2}};
    for (const sample& s : samples) {
        const bytes blocks = encode(s.input, s.code_size);
        EXPECT_EQ(blocks, sub_blocks(plain_lzw(s.input, s.code_size), 254)) << s.name;
        EXPECT_EQ(lzw_encoded_size(s.code_size + 1, s.input.data(), s.input.size()), blocks.size())
            << s.name;
        if (s.input.empty())
            continue;
        const int height = int(s.input.size()) / s.width;
        bytes raster = blocks;
        raster.insert(raster.begin(), std::uint8_t(s.code_size));
        raster.push_back(0);
        const auto gif = giflib_decode(gif_builder(s.width, height, table(1u << s.code_size))
                                           .image_with_raster({0, 0, s.width, height}, raster)
                                           .finish());
        ASSERT_TRUE(gif && gif->frames.size() == 1) << s.name;
        EXPECT_TRUE(gif->frames[0].indices == s.input) << s.name;
    }
}

} // namespace
} // namespace zoetra::test
