#include "gif/lzw_encoder.hpp"

#include "encoder_support.hpp"

#include <map>
#include <utility>

namespace zoetra {
namespace {

using test::noise;

// A slow coder that follows the rules in the plainest way (an ordered map as
// the string table), to compare the fast one against.
std::vector<std::uint8_t> reference_lzw(const std::vector<std::uint8_t>& input, int initial_bits) {
    const int clear = 1 << (initial_bits - 1), end = clear + 1;
    std::vector<std::uint8_t> data;
    std::uint32_t accumulator = 0;
    int pending = 0, width = initial_bits, next = clear + 2;
    auto put = [&](int code) {
        accumulator |= std::uint32_t(code) << pending;
        pending += width;
        for (; pending >= 8; pending -= 8, accumulator >>= 8)
            data.push_back(std::uint8_t(accumulator));
    };
    std::map<std::pair<int, int>, int> table;
    put(clear);
    if (!input.empty()) {
        int prefix = input[0];
        for (std::size_t i = 1; i < input.size(); ++i) {
            const auto found = table.find({prefix, input[i]});
            if (found != table.end()) {
                prefix = found->second;
                continue;
            }
            put(prefix);
            if (next > (1 << width) - 1 && width < 12)
                ++width;
            if (next < 4096) {
                table[{prefix, input[i]}] = next++;
            } else {
                put(clear);
                table.clear();
                next = clear + 2;
                width = initial_bits;
            }
            prefix = input[i];
        }
        put(prefix);
    }
    put(end);
    if (pending > 0)
        data.push_back(std::uint8_t(accumulator));
    std::vector<std::uint8_t> blocks;
    for (std::size_t at = 0; at < data.size(); at += 254) {
        const std::size_t n = std::min<std::size_t>(254, data.size() - at);
        blocks.push_back(std::uint8_t(n));
        blocks.insert(blocks.end(), data.begin() + long(at), data.begin() + long(at + n));
    }
    return blocks;
}

std::vector<std::uint8_t> encode(const std::vector<std::uint8_t>& input, int initial_bits = 9) {
    memory_sink sink;
    lzw_encode(initial_bits, sink, input.data(), input.size());
    return sink.bytes();
}

std::vector<std::uint8_t> random_indices(std::size_t count, int range, std::uint32_t seed = 7) {
    noise source(seed);
    std::vector<std::uint8_t> out(count);
    for (auto& v : out)
        v = std::uint8_t(source.next(range));
    return out;
}

// Inputs that reach every corner of the coder: long and short strings, full
// tables, zero-valued keys, block boundaries.
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> sample_inputs() {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> inputs;
    inputs.push_back({"empty", {}});
    inputs.push_back({"single", {42}});
    inputs.push_back({"pair", {0, 0}});
    inputs.push_back({"zeros", std::vector<std::uint8_t>(200000, 0)});
    inputs.push_back({"random", random_indices(300000, 256)});
    inputs.push_back({"few_values", random_indices(300000, 3, 99)});
    std::vector<std::uint8_t> gradient(250 * 350);
    for (std::size_t i = 0; i < gradient.size(); ++i)
        gradient[i] = std::uint8_t((i % 350) * 255 / 349 ^ (i / 350 % 4));
    inputs.push_back({"gradient", gradient});
    // Strings of index 0 after prefix 0: the key 0 must be found like any other.
    std::vector<std::uint8_t> zero_heavy = random_indices(100000, 2, 3);
    for (auto& v : zero_heavy)
        v = v ? std::uint8_t(255) : std::uint8_t(0);
    inputs.push_back({"zero_heavy", zero_heavy});
    return inputs;
}

TEST(lzw_encode, equals_the_plain_reference_coder) {
    for (const auto& [name, input] : sample_inputs())
        EXPECT_EQ(encode(input), reference_lzw(input, 9)) << name;
    const auto small = random_indices(50000, 4);
    EXPECT_EQ(encode(small, 3), reference_lzw(small, 3));
}

TEST(lzw_encode, counting_twin_gives_the_written_length) {
    for (const auto& [name, input] : sample_inputs())
        EXPECT_EQ(lzw_encoded_size(9, input.data(), input.size()), encode(input).size()) << name;
}

// A GIF of one frame around the coded data, as giflib needs a whole file.
std::vector<std::uint8_t> wrap_in_gif(const std::vector<std::uint8_t>& blocks, int width,
                                      int height, int min_code_size) {
    std::vector<std::uint8_t> file = {'G',
                                      'I',
                                      'F',
                                      '8',
                                      '9',
                                      'a',
                                      std::uint8_t(width),
                                      std::uint8_t(width >> 8),
                                      std::uint8_t(height),
                                      std::uint8_t(height >> 8),
                                      0xF7,
                                      0,
                                      0};
    file.resize(file.size() + 768, 0);
    const std::uint8_t descriptor[] = {0x2C,
                                       0,
                                       0,
                                       0,
                                       0,
                                       std::uint8_t(width),
                                       std::uint8_t(width >> 8),
                                       std::uint8_t(height),
                                       std::uint8_t(height >> 8),
                                       0,
                                       std::uint8_t(min_code_size)};
    file.insert(file.end(), std::begin(descriptor), std::end(descriptor));
    file.insert(file.end(), blocks.begin(), blocks.end());
    file.push_back(0x00);
    file.push_back(0x3B);
    return file;
}

TEST(lzw_encode, giflib_decodes_the_same_indices) {
    for (const auto& [name, input] : sample_inputs()) {
        if (input.size() < 2)
            continue;
        const int width = input.size() % 1000 == 0  ? 1000
                          : input.size() % 350 == 0 ? 350
                                                    : int(input.size());
        const int height = int(input.size()) / width;
        ASSERT_EQ(std::size_t(width) * height, input.size()) << name;
        const auto gif = test::decode_with_giflib(wrap_in_gif(encode(input), width, height, 8));
        ASSERT_TRUE(gif) << name;
        ASSERT_EQ(gif->frames.size(), 1u);
        EXPECT_TRUE(gif->frames[0].indices == input) << name;
    }
    const auto small = random_indices(40000, 4);
    const auto gif = test::decode_with_giflib(wrap_in_gif(encode(small, 3), 200, 200, 2));
    ASSERT_TRUE(gif);
    EXPECT_TRUE(gif->frames[0].indices == small);
}

// The code stream as a decoder sees it: each code with the width it was read at.
struct traced_code {
    int code;
    int width;
};

std::vector<traced_code> trace_codes(const std::vector<std::uint8_t>& blocks, int initial_bits) {
    std::vector<std::uint8_t> data;
    for (std::size_t at = 0; at < blocks.size(); at += std::size_t(blocks[at]) + 1)
        data.insert(data.end(), blocks.begin() + long(at) + 1,
                    blocks.begin() + long(at) + 1 + blocks[at]);
    const int clear = 1 << (initial_bits - 1), end = clear + 1;
    std::vector<traced_code> codes;
    std::size_t bit = 0;
    int width = initial_bits, next = clear + 2;
    bool first = true;
    while (bit + std::size_t(width) <= data.size() * 8) {
        int code = 0;
        for (int k = 0; k < width; ++k, ++bit)
            code |= ((data[bit / 8] >> (bit % 8)) & 1) << k;
        codes.push_back({code, width});
        if (code == end)
            break;
        if (code == clear) {
            width = initial_bits;
            next = clear + 2;
            first = true;
            continue;
        }
        if (!first && next < 4096)
            ++next;
        first = false;
        if (next == (1 << width) && width < 12)
            ++width;
    }
    return codes;
}

TEST(lzw_encode, clear_code_follows_code_4095_and_width_stays_at_12_bits) {
    const auto input = random_indices(300000, 256);
    const auto codes = trace_codes(encode(input), 9);
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(codes.front().code, 256);
    EXPECT_EQ(codes.back().code, 257);
    int clears = 0;
    std::size_t since_clear = 0;
    for (std::size_t i = 1; i < codes.size(); ++i) {
        EXPECT_LE(codes[i].width, 12);
        if (codes[i].code == 256) {
            // Codes 258..4095 were assigned by the first 3838 codes after the
            // previous clear; the 3839th is the string that no longer fits,
            // written at 12 bits, and the clear code follows it at 12 bits.
            EXPECT_EQ(since_clear, 3839u);
            EXPECT_EQ(codes[i - 1].width, 12);
            EXPECT_EQ(codes[i].width, 12);
            EXPECT_EQ(codes[i + 1].width, 9);
            ++clears;
            since_clear = 0;
        } else {
            ++since_clear;
        }
    }
    EXPECT_GE(clears, 10);
}

TEST(lzw_encode, data_comes_in_sub_blocks_of_254_bytes) {
    const auto blocks = encode(random_indices(20000, 256));
    std::size_t at = 0, count = 0;
    while (at < blocks.size()) {
        const std::size_t length = blocks[at];
        at += length + 1;
        ++count;
        if (at < blocks.size())
            EXPECT_EQ(length, 254u);
        else
            EXPECT_GT(length, 0u);
    }
    EXPECT_EQ(at, blocks.size());
    EXPECT_GT(count, 20u);
    // A single index: clear, the index, end; three 9-bit codes in 4 bytes.
    EXPECT_EQ(encode({42}), (std::vector<std::uint8_t>{4, 0x00, 0x55, 0x04, 0x04}));
}

} // namespace
} // namespace zoetra
