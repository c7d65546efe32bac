// Captions are laid out in three steps:
//
// 1. Fonts. fontconfig sorts the fonts for "sans-serif:bold" once; each
//    character is drawn with the first font of that list that has it, so
//    accents, symbols and other scripts come from fallback fonts when the
//    first one lacks them. Faces are opened when a character first needs
//    them and kept until exit.
// 2. Size and lines. From a size that follows the frame down to 10 pixels,
//    the words are set on one line, or on two broken at the space that makes
//    the wider line narrowest, until the block (outline included) fits
//    inside the margins. Measuring takes only advances, kerning and control
//    boxes, kept per size, so trying many sizes renders nothing.
// 3. The mask. At the chosen size each glyph is rendered twice, filled and
//    stroked on its outside by FreeType's stroker, and each coverage is kept
//    where it reaches half a pixel. Fill beats outline, and a fill pixel is
//    always ringed by outline, so white text stays readable on white.
#include "raster/caption.hpp"

#include "raster/text.hpp"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_OUTLINE_H
#include FT_STROKER_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace zoetra {
namespace {

// ---- proportions ---------------------------------------------------------------

constexpr int smallest_size = 10;

// A caption line is about an eighth of the frame's height, the usual look of
// captioned pictures from 128 to 800 pixels. Frames taller than wide take it
// from the width (times 5/4) instead, so a narrow frame does not start at a
// size where a word or two already fills a line. The search goes down one
// pixel at a time, so it starts no higher than 200 pixels, an eighth of a
// frame far larger than animations usually are.
constexpr int largest_start_size = 200;

int start_size(int frame_width, int frame_height) {
    return std::clamp(std::min(frame_height, frame_width * 5 / 4) / 8, smallest_size,
                      largest_start_size);
}

// The same distance from every edge: 4% of the smaller side, at least 2.
int margin_of(int frame_width, int frame_height) {
    return std::max(2, (std::min(frame_width, frame_height) * 4 + 50) / 100);
}

// The outline grows with the letters: a twelfth of the size, rounded (1
// pixel up to 17, 3 at 36, 8 at 100). That is about half the stem of the
// bold face, heavy enough to read against busy pictures while the counters
// of letters such as "e" and "a" stay open. Never less than one pixel.
int outline_radius(int size) {
    return std::max(1, (size + 6) / 12);
}

// ---- characters -----------------------------------------------------------------

bool separates_words(char32_t code) {
    return code == U' ' || code == U'\t' || code == U'\n' || code == U'\r' || code == U'\v' ||
           code == U'\f';
}

bool is_control(char32_t code) {
    return code < 0x20 || (code >= 0x7F && code < 0xA0);
}

// The caption's words. Line feeds separate words like spaces (the caption
// chooses its own line breaks); other control characters are dropped.
std::vector<std::u32string> words_of(std::string_view text) {
    std::vector<std::u32string> words(1);
    for (char32_t code : decode_text(text)) {
        if (separates_words(code)) {
            if (!words.back().empty())
                words.emplace_back();
        } else if (!is_control(code)) {
            words.back().push_back(code);
        }
    }
    if (words.back().empty())
        words.pop_back();
    return words;
}

void append_utf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// The words as the caption shows them, in UTF-8, for messages.
std::string shown_text(const std::vector<std::u32string>& words) {
    std::string out;
    for (const std::u32string& word : words) {
        if (!out.empty())
            out += ' ';
        for (char32_t code : word)
            append_utf8(out, code);
    }
    return out;
}

std::u32string joined(const std::vector<std::u32string>& words, std::size_t from, std::size_t to) {
    std::u32string line;
    for (std::size_t i = from; i < to; ++i) {
        if (i > from)
            line += U' ';
        line += words[i];
    }
    return line;
}

// ---- fonts ------------------------------------------------------------------------

// Where a character's glyph is.
struct glyph_source {
    FT_Face face = nullptr;
    FT_UInt index = 0;
    bool embolden = false; // the face has no bold of its own
};

// The sorted fonts of the caption and the faces opened from them. Like the
// interface's text font, it is loaded on first use, used from one thread at
// a time and kept until exit.
class caption_fonts {
  public:
    static caption_fonts& instance() {
        static caption_fonts fonts;
        return fonts;
    }

    bool usable() { return library_ != nullptr && !fonts_.empty() && face_at(0) != nullptr; }
    FT_Library library() const { return library_; }
    FT_Face first_face() { return face_at(0); }

    bool has(char32_t code) { return font_with(code).has_value(); }

    // The first font that has the character; the first font's missing-glyph
    // box when none has it.
    glyph_source source_of(char32_t code) {
        auto known = sources_.find(code);
        if (known != sources_.end())
            return known->second;
        glyph_source source{first_face(), 0, fonts_.empty() ? false : fonts_[0].embolden};
        if (std::optional<std::size_t> font = font_with(code)) {
            source.face = face_at(*font);
            source.index = FT_Get_Char_Index(source.face, FT_ULong(code));
            source.embolden = fonts_[*font].embolden;
        }
        return sources_.emplace(code, source).first->second;
    }

    // Sets the face's pixel size unless it has it already.
    bool select(FT_Face face, int size) {
        int& selected = selected_sizes_[face];
        if (selected != size) {
            if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(size)) != 0)
                return false;
            selected = size;
        }
        return true;
    }

  private:
    struct font {
        std::string file;
        int index = 0;
        FcCharSet* characters = nullptr; // belongs to the sorted set
        bool embolden = false;
        FT_Face face = nullptr;
        bool failed = false;
    };

    caption_fonts() {
        if (FT_Init_FreeType(&library_) != 0) {
            library_ = nullptr;
            return;
        }
        config_ = FcInitLoadConfigAndFonts();
        if (config_ != nullptr)
            sort_fonts();
    }
    ~caption_fonts() {
        for (font& f : fonts_)
            if (f.face != nullptr)
                FT_Done_Face(f.face);
        if (sorted_ != nullptr)
            FcFontSetDestroy(sorted_);
        if (config_ != nullptr)
            FcConfigDestroy(config_);
        if (library_ != nullptr)
            FT_Done_FreeType(library_);
    }

    void sort_fonts() {
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:bold"));
        if (pattern == nullptr)
            return;
        FcConfigSubstitute(config_, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        // Trimmed: a font that adds no character to those before it is left out.
        sorted_ = FcFontSort(config_, pattern, FcTrue, nullptr, &result);
        for (int i = 0; sorted_ != nullptr && i < sorted_->nfont; ++i)
            add_font(pattern, sorted_->fonts[i]);
        FcPatternDestroy(pattern);
    }

    void add_font(FcPattern* wanted, FcPattern* candidate) {
        font f;
        FcChar8* file = nullptr;
        FcBool outline = FcFalse;
        if (FcPatternGetString(candidate, FC_FILE, 0, &file) != FcResultMatch || file == nullptr)
            return;
        // Bitmap fonts can be neither scaled nor stroked.
        if (FcPatternGetBool(candidate, FC_OUTLINE, 0, &outline) == FcResultMatch && !outline)
            return;
        if (FcPatternGetCharSet(candidate, FC_CHARSET, 0, &f.characters) != FcResultMatch)
            return;
        FcPatternGetInteger(candidate, FC_INDEX, 0, &f.index);
        f.file = reinterpret_cast<const char*>(file);
        // fontconfig's own rules say when a regular face must be made bold.
        if (FcPattern* prepared = FcFontRenderPrepare(config_, wanted, candidate)) {
            FcBool embolden = FcFalse;
            FcPatternGetBool(prepared, FC_EMBOLDEN, 0, &embolden);
            f.embolden = embolden;
            FcPatternDestroy(prepared);
        }
        fonts_.push_back(std::move(f));
    }

    std::optional<std::size_t> font_with(char32_t code) {
        for (std::size_t i = 0; i < fonts_.size(); ++i)
            if (FcCharSetHasChar(fonts_[i].characters, FcChar32(code)) && face_at(i) != nullptr)
                return i;
        return std::nullopt;
    }

    FT_Face face_at(std::size_t i) {
        if (i >= fonts_.size())
            return nullptr;
        font& f = fonts_[i];
        if (f.face == nullptr && !f.failed &&
            FT_New_Face(library_, f.file.c_str(), FT_Long(f.index), &f.face) != 0) {
            f.face = nullptr;
            f.failed = true;
        }
        return f.face;
    }

    FT_Library library_ = nullptr;
    FcConfig* config_ = nullptr;
    FcFontSet* sorted_ = nullptr;
    std::vector<font> fonts_;
    std::map<char32_t, glyph_source> sources_;
    std::map<FT_Face, int> selected_sizes_;
};

// Loads the character's outline at the size into its face's glyph slot.
FT_GlyphSlot load_outline(const glyph_source& source, int size) {
    caption_fonts& fonts = caption_fonts::instance();
    if (source.face == nullptr || !fonts.select(source.face, size))
        return nullptr;
    if (FT_Load_Glyph(source.face, source.index, FT_LOAD_NO_BITMAP) != 0)
        return nullptr;
    FT_GlyphSlot slot = source.face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE)
        return nullptr;
    if (source.embolden)
        FT_GlyphSlot_Embolden(slot);
    return slot;
}

// ---- measuring ----------------------------------------------------------------------

// A box in whole pixels around the baseline's origin, y up; right and top
// exclusive.
struct ink_box {
    int left = 0;
    int right = 0;
    int bottom = 0;
    int top = 0;
    bool empty() const { return right <= left || top <= bottom; }
};

ink_box united(const ink_box& a, const ink_box& b) {
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return ink_box{std::min(a.left, b.left), std::max(a.right, b.right),
                   std::min(a.bottom, b.bottom), std::max(a.top, b.top)};
}

struct glyph_metrics {
    int advance = 0;
    ink_box ink; // the outline's control box, rounded out
};

// Advances, kerning and boxes of characters at one size, each measured once.
class sized_font {
  public:
    explicit sized_font(int size) : size_(size), radius_(outline_radius(size)) {
        FT_Face first = caption_fonts::instance().first_face();
        if (caption_fonts::instance().select(first, size))
            line_pitch_ = int((first->size->metrics.height + 32) >> 6);
    }

    int size() const { return size_; }
    int radius() const { return radius_; }
    int line_pitch() const { return line_pitch_; }

    const glyph_metrics& metrics(char32_t code) {
        auto known = metrics_.find(code);
        if (known != metrics_.end())
            return known->second;
        return metrics_.emplace(code, measure(code)).first->second;
    }

    // The kerning between two characters of the same face, in pixels.
    int kerning(char32_t left, char32_t right) {
        caption_fonts& fonts = caption_fonts::instance();
        const glyph_source a = fonts.source_of(left), b = fonts.source_of(right);
        if (a.face != b.face || !FT_HAS_KERNING(a.face) || !fonts.select(a.face, size_))
            return 0;
        FT_Vector delta{0, 0};
        if (FT_Get_Kerning(a.face, a.index, b.index, FT_KERNING_DEFAULT, &delta) != 0)
            return 0;
        return int((delta.x + 32) >> 6);
    }

  private:
    glyph_metrics measure(char32_t code) {
        glyph_metrics m;
        FT_GlyphSlot slot = load_outline(caption_fonts::instance().source_of(code), size_);
        if (slot == nullptr)
            return m;
        m.advance = int((slot->advance.x + 32) >> 6);
        if (slot->outline.n_points > 0) {
            FT_BBox box;
            FT_Outline_Get_CBox(&slot->outline, &box);
            m.ink = ink_box{int(box.xMin >> 6), int((box.xMax + 63) >> 6), int(box.yMin >> 6),
                            int((box.yMax + 63) >> 6)};
        }
        return m;
    }

    int size_;
    int radius_;
    int line_pitch_ = 0;
    std::map<char32_t, glyph_metrics> metrics_;
};

// One line set at one size: each character's pen position from the line's
// origin and the ink of the whole line.
struct set_line {
    std::u32string characters;
    std::vector<int> pens;
    ink_box ink;
};

set_line set_characters(std::u32string characters, sized_font& font) {
    set_line line{std::move(characters), {}, {}};
    int pen = 0;
    for (std::size_t i = 0; i < line.characters.size(); ++i) {
        const char32_t code = line.characters[i];
        if (i > 0)
            pen += font.kerning(line.characters[i - 1], code);
        line.pens.push_back(pen);
        const glyph_metrics& m = font.metrics(code);
        if (!m.ink.empty())
            line.ink = united(
                line.ink, ink_box{pen + m.ink.left, pen + m.ink.right, m.ink.bottom, m.ink.top});
        pen += m.advance;
    }
    return line;
}

// The line's width in the frame: its ink and the outline each side.
int block_width(const set_line& line, const sized_font& font) {
    return line.ink.empty() ? 0 : line.ink.right - line.ink.left + 2 * font.radius();
}

// Lines one pitch apart, from the top of the first line's outline to the
// bottom of the last line's; `top` is where that is above the first baseline.
struct block_rows {
    int top = 0;
    int height = 0;
};

block_rows rows_of(const std::vector<set_line>& lines, const sized_font& font) {
    int top = 0, bottom = 0; // y down from the first baseline
    bool any = false;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (lines[k].ink.empty())
            continue;
        const int baseline = int(k) * font.line_pitch();
        const int line_top = baseline - lines[k].ink.top,
                  line_bottom = baseline - lines[k].ink.bottom;
        top = any ? std::min(top, line_top) : line_top;
        bottom = any ? std::max(bottom, line_bottom) : line_bottom;
        any = true;
    }
    return any ? block_rows{top - font.radius(), bottom - top + 2 * font.radius()} : block_rows{};
}

struct arrangement {
    std::vector<set_line> lines;
    int width = 0;
    block_rows rows;
};

arrangement arranged(std::vector<set_line> lines, const sized_font& font) {
    arrangement a;
    for (const set_line& line : lines)
        a.width = std::max(a.width, block_width(line, font));
    a.rows = rows_of(lines, font);
    a.lines = std::move(lines);
    return a;
}

// The two lines whose wider one is narrowest. Balanced lines look steadier
// than a full line over a short one, and when any break fits the width this
// one does, so it never costs a size.
arrangement two_lines(const std::vector<std::u32string>& words, sized_font& font) {
    std::optional<arrangement> best;
    for (std::size_t split = 1; split < words.size(); ++split) {
        arrangement candidate = arranged({set_characters(joined(words, 0, split), font),
                                          set_characters(joined(words, split, words.size()), font)},
                                         font);
        if (!best || candidate.width < best->width)
            best = std::move(candidate);
    }
    return std::move(*best);
}

struct room {
    int width = 0;
    int height = 0;
};

bool fits(const arrangement& a, const room& space) {
    return a.width <= space.width && a.rows.height <= space.height;
}

// One line if it fits, else two.
std::optional<arrangement> arrange_at(const std::vector<std::u32string>& words, sized_font& font,
                                      const room& space) {
    arrangement one = arranged({set_characters(joined(words, 0, words.size()), font)}, font);
    if (fits(one, space))
        return one;
    if (words.size() < 2)
        return std::nullopt;
    arrangement two = two_lines(words, font);
    if (fits(two, space))
        return two;
    return std::nullopt;
}

// ---- the mask ------------------------------------------------------------------------

struct glyph_deleter {
    void operator()(FT_Glyph g) const { FT_Done_Glyph(g); }
};
using owned_glyph = std::unique_ptr<std::remove_pointer_t<FT_Glyph>, glyph_deleter>;

struct stroker_deleter {
    void operator()(FT_Stroker s) const { FT_Stroker_Done(s); }
};
using owned_stroker = std::unique_ptr<std::remove_pointer_t<FT_Stroker>, stroker_deleter>;

// The mask being drawn, with (0, 0) at its block's top left.
class mask_painter {
  public:
    explicit mask_painter(caption_mask& mask) : mask_(mask) {}

    // Marks the cells the bitmap covers by at least half, its top left at (x, y).
    // Outline never replaces fill.
    void paint(const FT_BitmapGlyph bitmap, int x, int y, caption_cell cell) {
        const FT_Bitmap& b = bitmap->bitmap;
        if (b.pixel_mode != FT_PIXEL_MODE_GRAY)
            return;
        for (int row = 0; row < int(b.rows); ++row) {
            const unsigned char* coverage = b.buffer + std::ptrdiff_t(row) * b.pitch;
            for (int column = 0; column < int(b.width); ++column)
                if (coverage[column] >= 128)
                    mark(x + column, y + row, cell);
        }
    }

    // Outline on every free cell beside a fill cell, diagonals included.
    void ring_the_fill() {
        std::vector<caption_cell> ringed = mask_.cells;
        for (int row = 0; row < mask_.height; ++row)
            for (int column = 0; column < mask_.width; ++column)
                if (mask_.at(column, row) == caption_cell::none && touches_fill(column, row))
                    ringed[index(column, row)] = caption_cell::outline;
        mask_.cells = std::move(ringed);
    }

  private:
    std::size_t index(int column, int row) const {
        return std::size_t(row) * std::size_t(mask_.width) + std::size_t(column);
    }
    bool inside(int column, int row) const {
        return column >= 0 && row >= 0 && column < mask_.width && row < mask_.height;
    }
    void mark(int column, int row, caption_cell cell) {
        if (!inside(column, row))
            return;
        caption_cell& at = mask_.cells[index(column, row)];
        if (at != caption_cell::fill)
            at = cell;
    }
    bool touches_fill(int column, int row) const {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (inside(column + dx, row + dy) &&
                    mask_.at(column + dx, row + dy) == caption_cell::fill)
                    return true;
        return false;
    }

    caption_mask& mask_;
};

// The glyph, or its outside stroke, rendered with coverage.
owned_glyph rendered(FT_GlyphSlot slot, FT_Stroker stroker) {
    FT_Glyph glyph = nullptr;
    if (FT_Get_Glyph(slot, &glyph) != 0)
        return nullptr;
    if (stroker != nullptr && FT_Glyph_StrokeBorder(&glyph, stroker, false, true) != 0) {
        FT_Done_Glyph(glyph);
        return nullptr;
    }
    if (FT_Glyph_To_Bitmap(&glyph, FT_RENDER_MODE_NORMAL, nullptr, true) != 0) {
        FT_Done_Glyph(glyph);
        return nullptr;
    }
    return owned_glyph(glyph);
}

// Paints one line with its baseline's origin at (x, y) of the mask.
void paint_line(mask_painter& painter, const set_line& line, int x, int y, sized_font& font,
                FT_Stroker stroker) {
    caption_fonts& fonts = caption_fonts::instance();
    for (std::size_t i = 0; i < line.characters.size(); ++i) {
        const char32_t code = line.characters[i];
        if (font.metrics(code).ink.empty())
            continue;
        FT_GlyphSlot slot = load_outline(fonts.source_of(code), font.size());
        if (slot == nullptr)
            continue;
        const int pen = x + line.pens[i];
        // The stroke first: the fill painted over it wins where they meet.
        for (FT_Stroker with : {stroker, FT_Stroker(nullptr)}) {
            owned_glyph glyph = rendered(slot, with);
            if (!glyph)
                continue;
            auto bitmap = reinterpret_cast<FT_BitmapGlyph>(glyph.get());
            painter.paint(bitmap, pen + bitmap->left, y - bitmap->top,
                          with != nullptr ? caption_cell::outline : caption_cell::fill);
        }
    }
}

caption_mask masked(const arrangement& a, sized_font& font, int frame_width, int top) {
    caption_mask mask;
    if (a.width == 0)
        return mask; // characters that draw nothing
    mask.font_size = font.size();
    mask.lines = int(a.lines.size());
    // Each line is centred by its own ink in the frame.
    std::vector<int> line_x;
    int left = frame_width, right = 0;
    for (const set_line& line : a.lines) {
        line_x.push_back((frame_width - block_width(line, font)) / 2);
        if (line.ink.empty())
            continue;
        left = std::min(left, line_x.back());
        right = std::max(right, line_x.back() + block_width(line, font));
    }
    mask.x = left;
    mask.y = top;
    mask.width = right - left;
    mask.height = a.rows.height;
    mask.cells.assign(std::size_t(mask.width) * std::size_t(mask.height), caption_cell::none);

    FT_Stroker raw = nullptr;
    if (FT_Stroker_New(caption_fonts::instance().library(), &raw) != 0)
        raw = nullptr;
    owned_stroker stroker(raw);
    if (stroker)
        FT_Stroker_Set(stroker.get(), FT_Fixed(font.radius()) * 64, FT_STROKER_LINECAP_ROUND,
                       FT_STROKER_LINEJOIN_ROUND, 0);
    mask_painter painter(mask);
    for (std::size_t k = 0; k < a.lines.size(); ++k) {
        const set_line& line = a.lines[k];
        if (line.ink.empty())
            continue;
        const int origin_x = line_x[k] - left + font.radius() - line.ink.left;
        const int origin_y = int(k) * font.line_pitch() - a.rows.top;
        paint_line(painter, line, origin_x, origin_y, font, stroker.get());
    }
    painter.ring_the_fill();
    return mask;
}

// ---- laying out -----------------------------------------------------------------------

struct frame_size {
    int width = 0;
    int height = 0;
};

// The caption at the largest size that fits inside the margins; nothing
// when even the smallest size does not.
std::optional<caption_mask> fitted(const std::vector<std::u32string>& words, caption_place place,
                                   frame_size frame) {
    const int margin = margin_of(frame.width, frame.height);
    const room space{frame.width - 2 * margin, frame.height - 2 * margin};
    for (int size = start_size(frame.width, frame.height); size >= smallest_size; --size) {
        sized_font font(size);
        std::optional<arrangement> a = arrange_at(words, font, space);
        if (!a)
            continue;
        const int top =
            place == caption_place::top ? margin : frame.height - margin - a->rows.height;
        return masked(*a, font, frame.width, top);
    }
    return std::nullopt;
}

std::string frame_text(frame_size frame) {
    return std::to_string(frame.width) + " x " + std::to_string(frame.height) + " frame";
}

outcome no_font() {
    return outcome::failure("no bold sans-serif font was found to draw captions with");
}

bool drawn_apart(const caption_mask& top, const caption_mask& bottom, int gap) {
    return top.empty() || bottom.empty() || top.y + top.height + gap <= bottom.y;
}

} // namespace

bool caption_font_available() {
    return caption_fonts::instance().usable();
}

bool caption_font_has(char32_t code) {
    return caption_font_available() && caption_fonts::instance().has(code);
}

result<caption_mask> lay_out_caption(std::string_view text, caption_place place,
                                     std::uint16_t frame_width, std::uint16_t frame_height) {
    const std::vector<std::u32string> words = words_of(text);
    if (words.empty())
        return caption_mask{};
    if (!caption_font_available())
        return no_font();
    const frame_size frame{frame_width, frame_height};
    if (std::optional<caption_mask> mask = fitted(words, place, frame))
        return std::move(*mask);
    return outcome::failure("the caption \"" + shown_text(words) + "\" does not fit a " +
                            frame_text(frame) + " even at " + std::to_string(smallest_size) +
                            " pixels");
}

result<caption_pair> lay_out_captions(std::string_view top_text, std::string_view bottom_text,
                                      std::uint16_t frame_width, std::uint16_t frame_height) {
    result<caption_mask> top =
        lay_out_caption(top_text, caption_place::top, frame_width, frame_height);
    if (!top)
        return outcome::failure(top.message());
    result<caption_mask> bottom =
        lay_out_caption(bottom_text, caption_place::bottom, frame_width, frame_height);
    if (!bottom)
        return outcome::failure(bottom.message());
    // Both start at an eighth of the height, so two lines of each take under
    // a third of the frame: they can only meet on frames so low that both are
    // already at the smallest size, and then nothing is left to shrink.
    const int margin = margin_of(frame_width, frame_height);
    if (drawn_apart(*top, *bottom, margin))
        return caption_pair{std::move(*top), std::move(*bottom)};
    return outcome::failure("the captions \"" + shown_text(words_of(top_text)) + "\" and \"" +
                            shown_text(words_of(bottom_text)) + "\" do not both fit a " +
                            frame_text(frame_size{frame_width, frame_height}) + " even at " +
                            std::to_string(smallest_size) + " pixels");
}

void draw_caption(buffer& frame, const caption_mask& mask, const caption_colours& colours) {
    if (mask.empty())
        return;
    buffer_lock hold(frame);
    const pixel fill = drawn_pixel(colour{0, colours.fill.r, colours.fill.g, colours.fill.b});
    const pixel outline =
        drawn_pixel(colour{0, colours.outline.r, colours.outline.g, colours.outline.b});
    const int first_row = std::max(0, -mask.y),
              end_row = std::min(mask.height, frame.height() - mask.y);
    const int first_column = std::max(0, -mask.x),
              end_column = std::min(mask.width, frame.width() - mask.x);
    pixel* const pixels = frame.pixels();
    for (int row = first_row; row < end_row; ++row) {
        const std::size_t frame_row = std::size_t(mask.y + row) * frame.width();
        for (int column = first_column; column < end_column; ++column) {
            const caption_cell cell = mask.at(column, row);
            if (cell != caption_cell::none)
                pixels[frame_row + std::size_t(mask.x + column)] =
                    cell == caption_cell::fill ? fill : outline;
        }
    }
}

} // namespace zoetra
