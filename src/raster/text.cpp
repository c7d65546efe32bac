#include "raster/text.hpp"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace zoetra {
namespace {

// ---- finding the font ----------------------------------------------------

std::string font_from_fontconfig() {
    std::string path;
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr)
        return path;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
    if (pattern != nullptr) {
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config, pattern, &result);
        if (match != nullptr) {
            FcChar8* file = nullptr;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr)
                path = reinterpret_cast<const char*>(file);
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    FcConfigDestroy(config);
    return path;
}

std::string font_from_font_directory() {
    namespace fs = std::filesystem;
    std::error_code failure;
    const fs::path root = "/usr/share/fonts";
    if (!fs::is_directory(root, failure))
        return {};
    for (fs::recursive_directory_iterator it(root, failure), end; !failure && it != end;
         it.increment(failure)) {
        if (it->path().filename() == "DejaVuSans.ttf")
            return it->path().string();
    }
    return {};
}

// ---- glyphs ---------------------------------------------------------------

struct glyph {
    int left = 0; // from the pen to the bitmap's first column
    int top = 0;  // from the baseline up to the bitmap's first row
    int width = 0;
    int rows = 0;
    int advance = 0;
    std::vector<std::uint8_t> covered; // rows x width, 1 where the glyph is
};

struct size_metrics {
    int ascent = 0;
    int line_height = 0;
    std::map<char32_t, glyph> glyphs;
};

// The one font of the program, loaded on first use and kept until exit.
class text_font {
  public:
    static text_font& instance() {
        static text_font font;
        return font;
    }
    bool usable() const { return face_ != nullptr; }

    size_metrics& metrics(text_size size) {
        size_metrics& m = sizes_[size == text_size::points_9 ? 0 : 1];
        if (m.line_height == 0 && select(size)) {
            m.ascent = int((face_->size->metrics.ascender + 63) >> 6);
            m.line_height = int((face_->size->metrics.height + 63) >> 6);
        }
        return m;
    }

    const glyph& glyph_of(text_size size, char32_t code) {
        size_metrics& m = metrics(size);
        auto found = m.glyphs.find(code);
        if (found != m.glyphs.end())
            return found->second;
        return m.glyphs.emplace(code, render(size, code)).first->second;
    }

  private:
    text_font() {
        if (FT_Init_FreeType(&library_) != 0) {
            library_ = nullptr;
            return;
        }
        for (const std::string& path : {font_from_fontconfig(), font_from_font_directory()}) {
            if (!path.empty() && FT_New_Face(library_, path.c_str(), 0, &face_) == 0)
                return;
            face_ = nullptr;
        }
        // No font: text_font_available() says so to the programs.
    }
    ~text_font() {
        if (face_ != nullptr)
            FT_Done_Face(face_);
        if (library_ != nullptr)
            FT_Done_FreeType(library_);
    }

    bool select(text_size size) {
        if (face_ == nullptr)
            return false;
        if (selected_ != int(size)) {
            if (FT_Set_Pixel_Sizes(face_, 0, FT_UInt(text_pixel_size(size))) != 0)
                return false;
            selected_ = int(size);
        }
        return true;
    }

    glyph render(text_size size, char32_t code) {
        glyph g;
        if (!select(size))
            return g;
        if (FT_Load_Char(face_, code, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0)
            return g;
        const FT_GlyphSlot slot = face_->glyph;
        if (slot->format != FT_GLYPH_FORMAT_BITMAP || slot->bitmap.pixel_mode != FT_PIXEL_MODE_MONO)
            FT_Render_Glyph(slot, FT_RENDER_MODE_MONO);
        g.advance = int((slot->advance.x + 32) >> 6);
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO)
            return g;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = int(bitmap.width);
        g.rows = int(bitmap.rows);
        g.covered.resize(std::size_t(g.width) * std::size_t(g.rows));
        for (int row = 0; row < g.rows; ++row) {
            const unsigned char* bits = bitmap.buffer + std::ptrdiff_t(row) * bitmap.pitch;
            for (int column = 0; column < g.width; ++column)
                g.covered[std::size_t(row) * std::size_t(g.width) + std::size_t(column)] =
                    (bits[column >> 3] >> (7 - (column & 7))) & 1u;
        }
        return g;
    }

    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
    int selected_ = -1;
    std::array<size_metrics, 2> sizes_;
};

// ---- characters -------------------------------------------------------------

bool takes_room(char32_t code) {
    return code >= 0x20 && code != 0x7F;
}

int width_of(std::u32string_view line, text_size size) {
    text_font& font = text_font::instance();
    int width = 0;
    for (char32_t code : line)
        if (takes_room(code))
            width += font.glyph_of(size, code).advance;
    return width;
}

// A clip rectangle in buffer coordinates, right and bottom exclusive.
struct clip_box {
    int left, top, right, bottom;
};

clip_box clip_to_buffer(const buffer& b, int x, int y, int w, int h) {
    return clip_box{std::max(x, 0), std::max(y, 0), std::min(x + w, int(b.width())),
                    std::min(y + h, int(b.height()))};
}

// Draws one line with its top at `top`, never outside `clip`.
void draw_line_of_text(buffer& b, std::u32string_view line, int x, int top, text_size size,
                       pixel value, const clip_box& clip) {
    if (clip.left >= clip.right || clip.top >= clip.bottom)
        return;
    text_font& font = text_font::instance();
    const int baseline = top + font.metrics(size).ascent;
    pixel* const pixels = b.pixels();
    const std::size_t width = b.width();
    int pen = x;
    for (char32_t code : line) {
        if (!takes_room(code))
            continue;
        const glyph& g = font.glyph_of(size, code);
        const int origin_x = pen + g.left;
        const int origin_y = baseline - g.top;
        for (int row = 0; row < g.rows; ++row) {
            const int py = origin_y + row;
            if (py < clip.top || py >= clip.bottom)
                continue;
            const std::uint8_t* covered = g.covered.data() + std::size_t(row) * g.width;
            for (int column = 0; column < g.width; ++column) {
                const int px = origin_x + column;
                if (covered[column] && px >= clip.left && px < clip.right)
                    pixels[std::size_t(py) * width + std::size_t(px)] = value;
            }
        }
        pen += g.advance;
        if (pen >= clip.right)
            break;
    }
}

// Greedy word wrap: a line takes words while they fit; a word too long for
// any line stands alone and is cut by the clip. Line feeds always break.
std::vector<std::u32string> wrap(const std::u32string& text, int width, text_size size) {
    std::vector<std::u32string> lines;
    std::size_t paragraph_start = 0;
    while (paragraph_start <= text.size()) {
        std::size_t paragraph_end = text.find(U'\n', paragraph_start);
        if (paragraph_end == std::u32string::npos)
            paragraph_end = text.size();
        std::u32string_view paragraph(text.data() + paragraph_start,
                                      paragraph_end - paragraph_start);
        std::u32string line;
        std::size_t at = 0;
        while (at < paragraph.size()) {
            // A word and the blanks that follow it.
            std::size_t word_end = at;
            while (word_end < paragraph.size() && paragraph[word_end] != U' ')
                ++word_end;
            std::size_t blanks_end = word_end;
            while (blanks_end < paragraph.size() && paragraph[blanks_end] == U' ')
                ++blanks_end;
            std::u32string_view word = paragraph.substr(at, word_end - at);
            if (!line.empty()) {
                std::u32string trial = line + std::u32string(word);
                if (width_of(trial, size) > width) {
                    while (!line.empty() && line.back() == U' ')
                        line.pop_back();
                    lines.push_back(std::move(line));
                    line.clear();
                }
            }
            line += paragraph.substr(at, blanks_end - at);
            at = blanks_end;
        }
        while (!line.empty() && line.back() == U' ')
            line.pop_back();
        lines.push_back(std::move(line));
        paragraph_start = paragraph_end + 1;
    }
    return lines;
}

pixel text_pixel(colour c) {
    return drawn_pixel(colour{0, c.r, c.g, c.b});
}

} // namespace

std::u32string decode_text(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const int extra = lead >= 0xC2 && lead < 0xE0   ? 1
                          : lead >= 0xE0 && lead < 0xF0 ? 2
                          : lead >= 0xF0 && lead < 0xF5 ? 3
                                                        : 0;
        char32_t code = extra == 0 ? lead : char32_t(lead & (0x3F >> extra));
        bool valid = extra > 0 && i + std::size_t(extra) < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + std::size_t(k)]);
            if ((next & 0xC0) != 0x80)
                valid = false;
            else
                code = (code << 6) | (next & 0x3F);
        }
        if (extra > 0 && valid) {
            out.push_back(code);
            i += std::size_t(extra) + 1;
        } else {
            out.push_back(lead);
            ++i;
        }
    }
    return out;
}

bool text_font_available() {
    return text_font::instance().usable();
}

text_extent measure_text(std::string_view text, text_size size) {
    text_font& font = text_font::instance();
    if (!font.usable())
        return text_extent{};
    return text_extent{width_of(decode_text(text), size), font.metrics(size).line_height};
}

void draw_text_at(buffer& b, std::string_view text, std::int16_t x, std::int16_t y, colour c,
                  text_size size) {
    if (text.empty() || !text_font_available())
        return;
    buffer_lock hold(b);
    const std::u32string line = decode_text(text);
    const int top = y - 11;
    const text_extent extent{width_of(line, size), text_font::instance().metrics(size).line_height};
    const clip_box block = clip_to_buffer(b, x, top, extent.width + 1, extent.height + 1);
    draw_line_of_text(b, line, x, top, size, text_pixel(c), block);
}

void draw_text_clipped(buffer& b, std::string_view text, std::int16_t x, std::int16_t y, colour c,
                       const rect& clip, text_size size) {
    if (text.empty() || !text_font_available())
        return;
    buffer_lock hold(b);
    const std::u32string line = decode_text(text);
    const int top = y - 11;
    const int height = text_font::instance().metrics(size).line_height;
    clip_box block = clip_to_buffer(b, x, top, width_of(line, size) + 1, height + 1);
    block.left = std::max(block.left, int(clip.x));
    block.top = std::max(block.top, int(clip.y));
    block.right = std::min(block.right, clip.x + int(clip.width));
    block.bottom = std::min(block.bottom, clip.y + int(clip.height));
    draw_line_of_text(b, line, x, top, size, text_pixel(c), block);
}

void draw_text_in_box(buffer& b, std::int16_t x, std::int16_t y, std::uint16_t w, std::uint16_t h,
                      std::string_view text, colour c, text_size size) {
    if (text.empty() || w == 0 || h == 0 || !text_font_available())
        return;
    buffer_lock hold(b);
    std::u32string decoded = decode_text(text);
    std::erase(decoded, U'\r');
    const clip_box box = clip_to_buffer(b, x, y, w, h);
    const int line_height = text_font::instance().metrics(size).line_height;
    const pixel value = text_pixel(c);
    int top = y;
    for (const std::u32string& line : wrap(decoded, w - 1, size)) {
        if (top >= box.bottom)
            break;
        draw_line_of_text(b, line, x, top, size, value, box);
        top += line_height;
    }
}

} // namespace zoetra
