#include "cli/renderer.hpp"

#include "app/services/messages.hpp"
#include "app/services/utility.hpp"
#include "cli/check.hpp"
#include "cli/options.hpp"
#include "cli/settings.hpp"
#include "gif/picture.hpp"
#include "production/data_directory.hpp"
#include "production/studio.hpp"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace zoetra::cli {
namespace fs = std::filesystem;

namespace {

struct failure {
    int status;
    std::string message;
};

void say(const std::string& text) {
    std::fprintf(stderr, "zoetra-render: %s\n", text.c_str());
}

std::string without_line_break(std::string text) {
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

// Progress on standard error: on a terminal one line rewritten in place,
// otherwise whole lines; nothing at all when quiet.
class progress_printer : public studio_listener {
  public:
    progress_printer() : in_place_(isatty(fileno(stderr)) != 0) {}
    void set_quiet(bool quiet) { quiet_ = quiet; }

    void status(const std::string& text) override {
        if (quiet_)
            return;
        if (in_place_) {
            std::fprintf(stderr, "\r\033[K%s", without_line_break(text).c_str());
            line_open_ = true;
        } else {
            std::fprintf(stderr, "%s\n", without_line_break(text).c_str());
        }
        std::fflush(stderr);
    }
    void effect_left_out(const std::string& reason) override {
        end_line();
        say("effect left out: " + reason);
    }
    // The last line: the progress line gives way to it.
    void summary(const std::string& text) {
        if (quiet_)
            return;
        end_line();
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    void end_line() {
        if (line_open_)
            std::fputs("\r\033[K", stderr);
        line_open_ = false;
    }

  private:
    bool in_place_;
    bool quiet_ = true;
    bool line_open_ = false;
};

// What the renderer offers the services in place of a window: setting changes
// reach the studio; nothing is drawn on a screen.
class renderer_shell : public shell {
  public:
    explicit renderer_shell(studio& s) : studio_(s) { install_shell(this); }
    ~renderer_shell() override { install_shell(nullptr); }
    renderer_shell(const renderer_shell&) = delete;
    renderer_shell& operator=(const renderer_shell&) = delete;
    void present_area(const rect&) override {}
    void show_status(const std::string&) override {}
    void settings_changed() override { studio_.mark_settings_changed(); }

  private:
    studio& studio_;
};

std::string absolute_path(const std::string& path) {
    std::error_code error;
    fs::path made = fs::absolute(path, error);
    return error ? path : made.lexically_normal().string();
}

// A name that is a path, or an effect file in the user's folder, is made
// absolute before the program moves to its data folder.
bool names_a_file(const std::string& name) {
    std::error_code ignored;
    const bool effect_file = name.size() > 5 && same_name(name.substr(name.size() - 5), ".zoml");
    return name.find('/') != std::string::npos ||
           (effect_file && fs::is_regular_file(name, ignored));
}

int choose_effect(studio& s, const std::string& name, std::string& error) {
    int index = s.catalogue().find(name);
    if (index >= 0)
        return index;
    std::error_code ignored;
    if (fs::is_regular_file(name, ignored)) {
        index = s.catalogue().add_file(absolute_path(name), program_factory(), error);
        return index;
    }
    error = format("there is no effect called \"%s\" (see --list)", name.c_str());
    return -1;
}

void list_effects(studio& s) {
    for (int i = 0; i < s.catalogue().count(); ++i) {
        script& e = s.catalogue().effect(i);
        std::printf("%s\t%s\t%s\t%s\n", e.desc().type.c_str(), e.desc().name.c_str(),
                    effect_title(e).c_str(), e.desc().text.c_str());
    }
}

void describe_effect(studio& s, script& e) {
    std::printf("%s (%s): %s\n", effect_title(e).c_str(), e.desc().type.c_str(),
                e.desc().text.c_str());
    auto settings = public_settings(s, e);
    if (settings.empty())
        std::printf("No settings for this effect.\n");
    for (const auto& setting : settings)
        std::printf("  %s\n", describe_setting(setting).c_str());
}

std::optional<failure> fill_palette(studio& s, const options& o) {
    cfg_image_in& palette = s.image_source().palette();
    for (const std::string& image : o.images)
        if (outcome added = palette.add_image(image, palette.count()); !added)
            return failure{bad_input, added.message()};
    palette.set_selected(0);
    if (o.select) {
        if (*o.select < 1 || *o.select > palette.count())
            return failure{bad_input, format("--select %d: the palette holds images 1 to %d",
                                             *o.select, palette.count())};
        palette.set_selected(*o.select - 1);
    }
    return std::nullopt;
}

std::optional<failure> pick(cfg_menu& menu, const std::optional<std::string>& wanted,
                            const std::vector<std::string>& words, const char* option) {
    if (!wanted)
        return std::nullopt;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (same_name(words[i], *wanted)) {
            menu.select(static_cast<int>(i));
            return std::nullopt;
        }
    }
    return failure{bad_input,
                   format("%s \"%s\" is not one of its choices", option, wanted->c_str())};
}

std::optional<failure> in_range(const char* option, double value, const cfg_FP64& setting) {
    if (value < setting.minimum(0) || value > setting.maximum(0))
        return failure{bad_input, format("%s %g is out of its range %g to %g", option, value,
                                         setting.minimum(0), setting.maximum(0))};
    return std::nullopt;
}

std::optional<failure> apply_options(studio& s, script& effect, const options& o) {
    component& cpu = s.standing("CPU");
    component& gifout = s.standing("GIFOUT");
    if (o.frames) {
        if (auto f = in_range("--frames", *o.frames, cpu.number("FRAMES.CONTROL")))
            return f;
        if (!is_still_effect(effect))
            cpu.number("FRAMES.CONTROL").set_value(0, *o.frames);
    }
    if (o.delay) {
        if (auto f = in_range("--delay", *o.delay, gifout.number("DELAY")))
            return f;
        gifout.number("DELAY").set_value(0, *o.delay);
    }
    if (o.loop) {
        if (auto f = in_range("--loop", *o.loop, gifout.number("LOOP")))
            return f;
        gifout.number("LOOP").set_value(0, *o.loop);
    }
    if (auto f = pick(cpu.menu("LOOP"), o.direction,
                      {"forward", "backward", "forward-and-back", "back-and-forth"}, "--direction"))
        return f;
    if (auto f = pick(s.standing("GIFIN").menu("MODE.SIZE"), o.size,
                      {"source", "small", "medium", "large", "full"}, "--size"))
        return f;
    gif_encode_options encoding;
    encoding.optimize = o.optimize;
    if (o.colours) {
        if (same_name(*o.colours, "fine"))
            encoding.colours = colour_mode::fine;
        else if (!same_name(*o.colours, "standard"))
            return failure{bad_input, format("--colours \"%s\" is not one of its choices "
                                             "(standard, fine)",
                                             o.colours->c_str())};
    }
    s.set_encode_options(encoding);
    auto settings = public_settings(s, effect);
    for (const auto& assignment : o.settings) {
        std::string error;
        if (!assign_setting(settings, assignment.name, assignment.values, error))
            return failure{bad_input, error};
    }
    return std::nullopt;
}

std::optional<failure> create_frames(studio& s) {
    if (!s.can_create())
        return failure{bad_input, "the effect cannot be created from these images"};
    const auto began = std::chrono::steady_clock::now();
    if (outcome started = s.start_construction(); !started)
        return failure{effect_failed, without_line_break(started.message())};
    while (s.busy())
        if (outcome stepped = s.step(); !stepped)
            return failure{effect_failed, without_line_break(stepped.message())};
    // ZOETRA_TRACE=1 gives the construction's time (beside the window's).
    if (const char* trace = std::getenv("ZOETRA_TRACE"); trace != nullptr && *trace != 0)
        std::fprintf(
            stderr, "zoetra-render: created %d frames in %.0f ms\n", s.stored_frames(),
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began)
                .count());
    return std::nullopt;
}

// The frames as they are saved (the output area of each), uncompressed: for
// comparing the file with its source, or other encoders with this one.
std::optional<failure> write_frames_to(studio& s, const std::string& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    const rect area = s.image().output_area();
    const int count = std::min(s.frame_count(), s.stored_frames());
    auto put = [&](const std::string& name, const std::string& header, auto sample, int channels) {
        std::FILE* file = std::fopen((fs::path(folder) / name).c_str(), "wb");
        if (file == nullptr)
            return false;
        std::fputs(header.c_str(), file);
        std::vector<std::uint8_t> row(std::size_t(area.width) * channels);
        bool ok = true;
        for (int y = 0; y < area.height && ok; ++y) {
            for (int x = 0; x < area.width; ++x)
                sample(x, y, row.data() + std::size_t(x) * channels);
            ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
        }
        return std::fclose(file) == 0 && ok;
    };
    for (int i = 0; i < count; ++i) {
        buffer& frame = s.stored_frame(i);
        buffer_lock hold(frame);
        auto at = [&](int x, int y) {
            return x < frame.width() && y < frame.height()
                       ? frame.pixels()[std::size_t(y) * frame.width() + x]
                       : pixel(transparent_flag);
        };
        auto rgb = [&](int x, int y, std::uint8_t* out) {
            const pixel p = at(x, y);
            const bool clear = (p & transparent_flag) != 0;
            out[0] = clear ? 0 : std::uint8_t(p >> 16);
            out[1] = clear ? 0 : std::uint8_t(p >> 8);
            out[2] = clear ? 0 : std::uint8_t(p);
        };
        auto mask = [&](int x, int y, std::uint8_t* out) {
            out[0] = (at(x, y) & transparent_flag) ? 0 : 255;
        };
        auto rgba = [&](int x, int y, std::uint8_t* out) {
            rgb(x, y, out);
            mask(x, y, out + 3);
        };
        const std::string size = format("%d %d\n", area.width, area.height);
        if (!put(format("frame_%03d.ppm", i), "P6\n" + size + "255\n", rgb, 3) ||
            !put(format("mask_%03d.pgm", i), "P5\n" + size + "255\n", mask, 1) ||
            !put(
                format("frame_%03d.pam", i),
                format("P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n",
                       area.width, area.height),
                rgba, 4))
            return failure{bad_input,
                           format("cannot write the frames into \"%s\"", folder.c_str())};
    }
    std::FILE* info = std::fopen((fs::path(folder) / "info.txt").c_str(), "w");
    if (info == nullptr)
        return failure{bad_input, format("cannot write the frames into \"%s\"", folder.c_str())};
    std::fprintf(info, "%d %d %d\n", area.width, area.height, count);
    std::fclose(info);
    return std::nullopt;
}

std::optional<failure> deliver(studio& s, const options& o, progress_printer& progress) {
    if (o.frames_to)
        if (auto f = write_frames_to(s, *o.frames_to))
            return f;
    if (o.estimate) {
        result<std::uint32_t> bytes = s.size();
        if (!bytes)
            return failure{bad_input, without_line_break(bytes.message())};
        progress.end_line();
        std::printf("%u\n", bytes.value());
        return std::nullopt;
    }
    if (outcome saved = s.save(o.output); !saved)
        return failure{bad_input, without_line_break(saved.message())};
    std::error_code ignored;
    progress.summary(format("The animation went to %s (%d frames, %ju bytes).", o.output.c_str(),
                            std::min(s.frame_count(), s.stored_frames()),
                            std::uintmax_t(fs::file_size(o.output, ignored))));
    return std::nullopt;
}

int run(options o) {
    // Paths the user gives are the user's; the program then works in its data folder.
    for (auto& image : o.images)
        image = absolute_path(image);
    o.output = absolute_path(o.output);
    if (o.frames_to)
        o.frames_to = absolute_path(*o.frames_to);
    if (o.effect && names_a_file(*o.effect))
        o.effect = absolute_path(*o.effect);
    if (o.describe && names_a_file(*o.describe))
        o.describe = absolute_path(*o.describe);
    if (o.check && names_a_file(*o.check))
        o.check = absolute_path(*o.check);

    std::optional<fs::path> data = find_data_directory();
    std::error_code error;
    if (!data || (fs::current_path(*data, error), error)) {
        say("cannot find the folder that holds Zoetra's Effects; set ZOETRA_DATA_DIR");
        return bad_input;
    }

    // Exhausted memory ends the program with its message on standard error.
    set_fatal_exit_status(cannot_go_on);
    progress_printer progress;
    studio s;
    s.set_listener(&progress);
    renderer_shell shell(s);
    auto finish = [&](std::optional<failure> f) {
        progress.end_line();
        if (!f)
            return int(success);
        say(f->message);
        return f->status;
    };

    if (outcome loaded = s.load_effects(); !loaded)
        return finish(failure{cannot_go_on, loaded.message()});
    if (o.list) {
        list_effects(s);
        return finish(std::nullopt);
    }
    if (o.describe) {
        std::string reason;
        int index = choose_effect(s, *o.describe, reason);
        if (index < 0)
            return finish(failure{bad_input, reason});
        describe_effect(s, s.catalogue().effect(index));
        return finish(std::nullopt);
    }
    if (o.check) {
        std::string reason;
        int index = choose_effect(s, *o.check, reason);
        if (index < 0)
            return finish(failure{bad_input, reason});
        int problems = 0;
        std::printf("%s", check_report(s.catalogue().effect(index), problems).c_str());
        return finish(problems > 0 ? std::optional<failure>(failure{
                                         effect_failed, format("%d problems found", problems)})
                                   : std::nullopt);
    }
    int index = 0;
    if (o.effect) {
        std::string reason;
        index = choose_effect(s, *o.effect, reason);
        if (index < 0)
            return finish(failure{bad_input, reason});
    }
    s.select_effect(index);
    script& effect = s.catalogue().effect(index);
    if (auto f = fill_palette(s, o))
        return finish(f);
    if (auto f = apply_options(s, effect, o))
        return finish(f);

    progress.set_quiet(o.quiet);
    if (auto f = create_frames(s))
        return finish(f);
    return finish(deliver(s, o, progress));
}

} // namespace

int render_main(const std::vector<std::string>& args) {
    std::string error;
    std::optional<options> o = parse_options(args, error);
    if (!o) {
        say(error);
        std::fprintf(stderr, "Try 'zoetra-render --help'.\n");
        return usage_error;
    }
    if (o->help) {
        std::printf("%s", usage_text);
        return success;
    }
    if (o->version) {
        std::printf("zoetra-render 1.0\n");
        return success;
    }
    return run(std::move(*o));
}

} // namespace zoetra::cli
