// The LZW decoder: round trips through a plain encoder, the fast decoder
// against a step-by-step reference on valid and corrupt streams, and the
// rules for code sizes, clear codes, full tables, interlace and short data.
#include "decoder_support.hpp"

#include "gif/lzw_decoder.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace zoetra::decoder_test {
namespace {

struct decoded {
    int status;
    bytes indices;
    std::size_t stream_position; // where the stream stood afterwards
};

decoded decode(const bytes& raster, int width, int height, bool interlaced = false) {
    byte_stream stream(raster.data(), raster.size());
    decoded result{0, bytes(std::size_t(width) * height + 1, 0), 0};
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

bytes random_image(std::mt19937& random, std::size_t count, int colours, int run_bias) {
    bytes indices(count);
    std::uniform_int_distribution<int> colour(0, colours - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    for (std::size_t i = 0; i < count; ++i)
        indices[i] =
            i > 0 && percent(random) < run_bias ? indices[i - 1] : std::uint8_t(colour(random));
    return indices;
}

TEST(LzwDecode, RoundTripsEveryCodeSizeAndShape) {
    std::mt19937 random(7);
    const int shapes[][2] = {{1, 1}, {1, 7}, {13, 1}, {17, 9}, {64, 64}, {300, 41}};
    for (int code_size = 2; code_size <= 8; ++code_size)
        for (auto [width, height] : shapes)
            for (int run_bias : {0, 60, 97}) {
                bytes indices =
                    random_image(random, std::size_t(width) * height, 1 << code_size, run_bias);
                for (bool keep_full : {false, true}) {
                    bytes raster =
                        raster_data(code_size, lzw_encode(indices, code_size, keep_full));
                    decoded result = decode(raster, width, height);
                    ASSERT_EQ(result.status, 0);
                    ASSERT_EQ(result.indices, indices)
                        << "code size " << code_size << ", " << width << " x " << height;
                    EXPECT_EQ(result.stream_position, raster.size());
                }
            }
}

TEST(LzwDecode, MatchesTheReferenceOnValidAndCorruptStreams) {
    std::mt19937 random(11);
    for (int trial = 0; trial < 600; ++trial) {
        const int code_size = 2 + trial % 8;
        const int width = 1 + int(random() % 40);
        const int height = 1 + int(random() % 30);
        const bool interlaced = trial % 3 == 0;
        bytes raster;
        switch (trial % 4) {
        case 0: { // valid, possibly cut short
            bytes indices =
                random_image(random, std::size_t(width) * height, 1 << std::min(code_size, 8), 80);
            raster = raster_data(code_size, lzw_encode(indices, code_size, trial % 8 == 0));
            if (trial % 5 == 0)
                raster.resize(1 + random() % raster.size());
            break;
        }
        case 1: { // codes up to a few beyond the table, clear codes, no clear first
            code_writer writer(code_size);
            for (int i = 0, n = int(random() % 600); i < n; ++i) {
                int roll = int(random() % 100);
                int code = roll < 3    ? writer.clear_code()
                           : roll < 10 ? writer.next_free() + int(random() % 3)
                                       : int(random() % std::uint32_t(writer.next_free()));
                writer.put(std::min(code, 4095));
            }
            raster = raster_data(code_size, writer.data(), 1 + random() % 255);
            break;
        }
        case 2: { // a long run, so that strings are long and the table fills up
            bytes indices(std::size_t(width) * height, std::uint8_t(random() % 4));
            raster = raster_data(code_size, lzw_encode(indices, code_size, true));
            break;
        }
        default: { // noise
            raster = {std::uint8_t(code_size)};
            for (int i = 0, n = int(random() % 400); i < n; ++i)
                raster.push_back(std::uint8_t(random()));
            break;
        }
        }
        reference_result expected = reference_lzw_decode(raster, interlaced, width, height);
        decoded result = decode(raster, width, height, interlaced);
        ASSERT_EQ(result.status, expected.status) << "trial " << trial;
        ASSERT_EQ(result.indices, expected.indices) << "trial " << trial;
    }
}

TEST(LzwDecode, RejectsCodeSizesOutsideTwoToNine) {
    for (int size : {0, 1, 10, 11, 255}) {
        bytes raster = {std::uint8_t(size), 1, 0, 0};
        EXPECT_EQ(decode(raster, 2, 2).status, lzw_decoder::bad_code_size) << size;
    }
    EXPECT_EQ(decode(bytes{}, 2, 2).status, lzw_decoder::end_of_file);
    // Size 9: roots above 255 give their low 8 bits.
    code_writer writer(9);
    writer.put_all({512, 300, 7, 511, 513});
    decoded result = decode(raster_data(9, writer.data()), 3, 1);
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.indices, (bytes{44, 7, 255}));
}

TEST(LzwDecode, KwKwKRepeatsThePreviousStringPlusItsFirstIndex) {
    // Clear, 1, then 6 (the entry being made: "1 1"), then 7 ("1 1 1").
    code_writer writer(2);
    writer.put_all({4, 1, 6, 7, 2, 5});
    decoded result = decode(raster_data(2, writer.data()), 7, 1);
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.indices, (bytes{1, 1, 1, 1, 1, 1, 2}));
}

TEST(LzwDecode, AFullTableStaysAtTwelveBitsWithoutAClearCode) {
    // Clear, then root codes until the table is full (4,090 entries for code
    // size 2), then codes read at 12 bits: the last entry ("3 0") and roots.
    code_writer writer(2);
    writer.put(4);
    bytes expected;
    for (int i = 0; writer.next_free() < 4096; ++i) {
        writer.put(i % 4);
        expected.push_back(std::uint8_t(i % 4));
    }
    ASSERT_EQ(writer.width(), 12);
    // The entry 4095 was made from the last two codes: (i-1 % 4, i % 4).
    const std::uint8_t a = expected[expected.size() - 2];
    const std::uint8_t b = expected.back();
    writer.put_all({4095, 2, 4095, 5});
    for (std::uint8_t index : {a, b, std::uint8_t(2), a, b})
        expected.push_back(index);
    decoded result = decode(raster_data(2, writer.data()), int(expected.size()), 1);
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.indices, expected);
}

TEST(LzwDecode, WithoutAClearCodeFirstTheFirstEntryFollowsIndexZero) {
    // Old code and first index start at 0, so the first code makes entry 6
    // = "0 3"; code 6 then gives 0, 3.
    code_writer writer(2);
    writer.put_all({3, 6, 5});
    decoded result = decode(raster_data(2, writer.data()), 3, 1);
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.indices, (bytes{3, 0, 3}));
}

TEST(LzwDecode, ClearCodesInARowAndAFirstCodeOutsideTheTable) {
    // Repeated clear codes are passed over; a first code after a clear that
    // is not yet in the table becomes 0.
    code_writer writer(2);
    writer.put_all({4, 4, 4, 2, 4, 7, 1, 5});
    decoded result = decode(raster_data(2, writer.data()), 3, 1);
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.indices, (bytes{2, 0, 1}));
}

TEST(LzwDecode, InterlacedRowsArriveInPassOrder) {
    // Row n of the stored data is filled with n: the rows come out in the
    // order 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
    const int width = 3;
    bytes stored;
    for (int n = 0; n < 10; ++n)
        stored.insert(stored.end(), width, std::uint8_t(n));
    decoded result = decode(raster_data(4, lzw_encode(stored, 4)), width, 10, true);
    ASSERT_EQ(result.status, 0);
    const int order[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    for (int n = 0; n < 10; ++n)
        for (int x = 0; x < width; ++x)
            EXPECT_EQ(result.indices[std::size_t(order[n]) * width + x], n) << "stored row " << n;
    for (int n = 0; n < 10; ++n)
        EXPECT_EQ(interlaced_row(std::uint16_t(n), 10), order[n]);
}

TEST(LzwDecode, ShortDataKeepsWhatWasDecoded) {
    // 4 x 3 image, 10 pixels then the data stops: rows 0 and 1 stay, the
    // partial row 2 is cleared. With an end code instead, row 2 keeps its
    // two pixels.
    bytes pixels = {1, 2, 3, 1, 2, 3, 1, 2, 3, 1};
    code_writer cut(2);
    cut.put(4);
    for (std::uint8_t p : pixels)
        cut.put(p);
    decoded result = decode(raster_data(2, cut.data()), 4, 3);
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.indices, (bytes{1, 2, 3, 1, 2, 3, 1, 2, 0, 0, 0, 0}));

    code_writer ended = cut;
    ended.put(5);
    result = decode(raster_data(2, ended.data()), 4, 3);
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.indices, (bytes{1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 0, 0}));

    // Data cut inside a sub-block, before the terminator: the same as no more data.
    bytes raster = raster_data(2, cut.data());
    raster.resize(raster.size() - 2);
    result = decode(raster, 4, 3);
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.stream_position, raster.size());
}

TEST(LzwDecode, AnEmptySubBlockEndsTheImageThere) {
    // The second half of the data follows an empty sub-block: it is not
    // read, and the stream stands after the empty block.
    bytes pixels(8, 2);
    bytes data = lzw_encode(pixels, 2);
    bytes raster = {2, 1, data[0], 0, std::uint8_t(data.size() - 1)};
    for (std::size_t i = 1; i < data.size(); ++i)
        raster.push_back(data[i]);
    raster.push_back(0);
    decoded result = decode(raster, 8, 1);
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.stream_position, 4u);
    EXPECT_EQ(result.indices, reference_lzw_decode(raster, false, 8, 1).indices);
}

TEST(LzwDecode, PixelsBeyondTheLastRowAreDropped) {
    // Twice as much data as the image holds, with long strings near the end.
    bytes pixels(200, 3);
    for (std::size_t i = 0; i < pixels.size(); i += 7)
        pixels[i] = 1;
    bytes raster = raster_data(2, lzw_encode(pixels, 2));
    decoded result = decode(raster, 10, 10);
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.indices, bytes(pixels.begin(), pixels.begin() + 100));
    EXPECT_EQ(result.stream_position, raster.size()); // the rest is skipped
    EXPECT_EQ(decode(raster, 0, 5).status, 0);        // an empty image reads nothing
}

TEST(LzwDecode, CyclesThroughStaleEntriesStopTheImage) {
    // A code beyond the table makes entry 7's prefix name entry 20; later
    // entry 20 gets prefix 7, and code 7 loops between them until the stack
    // is full, which ends the image like data that stops.
    code_writer writer(2);
    writer.put_all({4, 1, 20});
    while (writer.next_free() < 20)
        writer.put(7);
    writer.put_all({7, 7});
    bytes raster = raster_data(2, writer.data());
    decoded result = decode(raster, 64, 64);
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.indices, reference_lzw_decode(raster, false, 64, 64).indices);
}

} // namespace
} // namespace zoetra::decoder_test
