// Runs every bundled effect the way the renderer does and makes pictures of
// the results:
//
//   zoetra-effect-pictures icons DATA_FOLDER SAMPLE.gif OUT.rez
//     one 44 x 44 icon per effect, a frame of the effect on the sample scaled
//     down, packed under the name of the effect's <image> into OUT.rez;
//   zoetra-effect-pictures sheet DATA_FOLDER OUT_FOLDER SAMPLE.gif...
//     every effect on every sample as OUT_FOLDER/STEM/SAMPLE.gif, and one
//     contact sheet, OUT_FOLDER/contact-sheet.gif: a row per effect with four
//     frames of it on each sample.
//
// Both work in DATA_FOLDER (the one that holds Effects), as the programs do.
#include "base/utility.hpp"
#include "gif/encoder.hpp"
#include "production/studio.hpp"
#include "raster/draw.hpp"
#include "raster/text.hpp"
#include "resources/archive_writer.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace zoetra;
namespace fs = std::filesystem;

namespace {

constexpr int icon_edge = 44;
constexpr colour backdrop{0, 72, 72, 80};

// Runs effect `index` over one picture, or says why it did not.
outcome make_frames(studio& s, int index, const std::string& picture, int frames) {
    cfg_image_in& palette = s.image_source().palette();
    while (palette.count() > 0)
        palette.remove_image(0);
    if (outcome added = palette.add_image(picture, 0); !added)
        return added;
    palette.set_selected(0);
    s.select_effect(index);
    if (!is_still_effect(*s.current_effect()))
        s.frame_clock().frames().set_value(0, frames);
    if (outcome started = s.start_construction(); !started)
        return started;
    while (s.busy())
        if (outcome stepped = s.step(); !stepped)
            return stepped;
    return s.stored_frames() > 0 ? outcome::success() : outcome::failure("no frame was made");
}

// The mean colour of the source pixels under output pixel (x, y) when a
// w x h square of the frame, from (left, top), is shrunk to edge x edge;
// transparent pixels count as the backdrop.
colour area_mean(const buffer& frame, int left, int top, int side, int edge, int x, int y) {
    const int x0 = left + x * side / edge, x1 = std::max(x0 + 1, left + (x + 1) * side / edge);
    const int y0 = top + y * side / edge, y1 = std::max(y0 + 1, top + (y + 1) * side / edge);
    unsigned r = 0, g = 0, b = 0, n = 0;
    for (int sy = y0; sy < y1; ++sy) {
        for (int sx = x0; sx < x1; ++sx) {
            colour c = get_pixel(frame, std::int16_t(sx), std::int16_t(sy));
            if (c.t != 0 || sx >= frame.width() || sy >= frame.height())
                c = backdrop;
            r += c.r;
            g += c.g;
            b += c.b;
            ++n;
        }
    }
    return colour{0, std::uint8_t(r / n), std::uint8_t(g / n), std::uint8_t(b / n)};
}

// The frame's middle square, shrunk to edge x edge and drawn at (x, y).
void draw_shrunk(buffer& frame, buffer& target, int x, int y, int edge) {
    buffer_lock source(frame);
    buffer_lock lock(target);
    const int side = std::max(1, std::min<int>(frame.width(), frame.height()));
    const int left = (frame.width() - side) / 2;
    const int top = (frame.height() - side) / 2;
    for (int j = 0; j < edge; ++j)
        for (int i = 0; i < edge; ++i)
            put_pixel(target, std::int16_t(x + i), std::int16_t(y + j),
                      area_mean(frame, left, top, side, edge, i, j));
}

std::vector<unsigned char> one_frame_gif(buffer& image) {
    gif_writer writer;
    const crop_size size{image.width(), image.height()};
    if (!writer.open_in_memory(crop_origin{}, size, 1))
        return {};
    buffer* frames[] = {&image};
    writer.write_frames(frames, crop_origin{}, size, 0);
    if (!writer.close())
        return {};
    const auto& bytes = writer.memory_file();
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

bool write_bytes(const fs::path& path, const std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written && !bytes.empty();
}

// The icon: the middle frame of an eight-frame run (the only frame of a
// still effect), its middle square shrunk to 44 x 44.
int make_icons(studio& s, const std::string& sample, const std::string& out) {
    std::vector<archive_entry> entries;
    for (int i = 0; i < s.catalogue().count(); ++i) {
        script& effect = s.catalogue().effect(i);
        const std::string& name = effect.desc().image_file;
        if (name == "no_image_file" || name.find_first_of("/\\*") != std::string::npos)
            continue;
        if (outcome made = make_frames(s, i, sample, 8); !made) {
            std::fprintf(stderr, "zoetra-effect-pictures: %s: %s\n", effect.desc().name.c_str(),
                         made.message().c_str());
            return 1;
        }
        buffer icon(icon_edge, icon_edge, backdrop);
        draw_shrunk(s.stored_frame(s.stored_frames() / 2), icon, 0, 0, icon_edge);
        entries.push_back(archive_entry{name, one_frame_gif(icon)});
        if (entries.back().bytes.empty() || entries.back().bytes.size() >= 65535) {
            std::fprintf(stderr, "zoetra-effect-pictures: cannot encode %s\n", name.c_str());
            return 1;
        }
    }
    if (outcome written = write_archive(out, entries); !written) {
        std::fprintf(stderr, "zoetra-effect-pictures: %s\n", written.message().c_str());
        return 1;
    }
    std::printf("%s: %zu icons\n", out.c_str(), entries.size());
    return 0;
}

// The sheet: per effect a row with its title, then four frames of it on
// every sample, each shrunk into a square cell.
int make_sheet(studio& s, const fs::path& folder, const std::vector<std::string>& samples) {
    constexpr int cell = 72, gap = 4, frames_shown = 4, label = 120;
    const int rows = s.catalogue().count();
    const int width = label + int(samples.size()) * (frames_shown * (cell + gap) + 3 * gap);
    const int height = rows * (cell + gap) + gap;
    buffer sheet(std::uint16_t(std::min(width, 65535)), std::uint16_t(std::min(height, 65535)),
                 colour{0, 40, 40, 44});
    {
        buffer_lock lock(sheet);
        fast_fill(sheet, colour{0, 40, 40, 44});
    }
    for (int i = 0; i < rows; ++i) {
        script& effect = s.catalogue().effect(i);
        const int y = gap + i * (cell + gap);
        {
            buffer_lock lock(sheet);
            draw_text_at(sheet, effect_title(effect), 4, std::int16_t(y + cell / 2 + 6),
                         colour{0, 230, 230, 230}, text_size::points_9);
        }
        fs::create_directories(folder / effect.desc().name);
        for (std::size_t k = 0; k < samples.size(); ++k) {
            if (outcome made = make_frames(s, i, samples[k], 8); !made) {
                std::fprintf(stderr, "zoetra-effect-pictures: %s on %s: %s\n",
                             effect.desc().name.c_str(), samples[k].c_str(),
                             made.message().c_str());
                return 1;
            }
            const fs::path gif = folder / effect.desc().name / fs::path(samples[k]).filename();
            if (outcome saved = s.save(gif.string()); !saved) {
                std::fprintf(stderr, "zoetra-effect-pictures: %s\n", saved.message().c_str());
                return 1;
            }
            const int x = label + int(k) * (frames_shown * (cell + gap) + 3 * gap);
            for (int f = 0; f < frames_shown && f < s.stored_frames(); ++f)
                draw_shrunk(s.stored_frame(f * s.stored_frames() / frames_shown), sheet,
                            x + f * (cell + gap), y, cell);
        }
        std::printf("%s\n", effect.desc().name.c_str());
    }
    if (!write_bytes(folder / "contact-sheet.gif", one_frame_gif(sheet))) {
        std::fprintf(stderr, "zoetra-effect-pictures: cannot write the contact sheet\n");
        return 1;
    }
    std::printf("%s\n", (folder / "contact-sheet.gif").string().c_str());
    return 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: zoetra-effect-pictures icons DATA_FOLDER SAMPLE.gif OUT.rez\n"
                 "       zoetra-effect-pictures sheet DATA_FOLDER OUT_FOLDER SAMPLE.gif...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5)
        return usage();
    const std::string mode = argv[1];
    std::vector<std::string> paths;
    for (int i = 3; i < argc; ++i)
        paths.push_back(fs::absolute(argv[i]).lexically_normal().string());
    studio s(argv[2]);
    if (outcome loaded = s.load_effects(); !loaded) {
        std::fprintf(stderr, "zoetra-effect-pictures: %s\n", loaded.message().c_str());
        return 1;
    }
    if (mode == "icons" && paths.size() == 2)
        return make_icons(s, paths[0], paths[1]);
    if (mode == "sheet") {
        fs::create_directories(paths[0]);
        return make_sheet(s, paths[0], std::vector<std::string>(paths.begin() + 1, paths.end()));
    }
    return usage();
}
