#include "cli/renderer.hpp"

#include "base/fatal.hpp"
#include "base/utility.hpp"
#include "cli/check.hpp"
#include "cli/fitting.hpp"
#include "cli/options.hpp"
#include "cli/settings.hpp"
#include "components/io/register.hpp"
#include "gif/lzw_lossy.hpp"
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

std::string absolute_path(const std::string& path) {
    std::error_code error;
    fs::path made = fs::absolute(path, error);
    return error ? path : made.lexically_normal().string();
}

// A name that is a path, or an effect file in the user's folder, is taken
// as a file of the user's rather than as the name of a bundled effect.
bool names_a_file(const std::string& name) {
    std::error_code ignored;
    const bool effect_file = name.size() > 5 && same_name(name.substr(name.size() - 5), ".zoml");
    return name.find('/') != std::string::npos ||
           (effect_file && fs::is_regular_file(name, ignored));
}

result<int> choose_effect(studio& s, const std::string& name) {
    if (std::optional<int> index = s.catalogue().find(name))
        return *index;
    std::error_code ignored;
    if (fs::is_regular_file(name, ignored))
        return s.catalogue().add_file(absolute_path(name), s.program(), program_factory());
    return outcome::failure(format("there is no effect called \"%s\" (see --list)", name.c_str()));
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
    std::printf("Frame: --size WxH or emoji, sticker, chat, readme; %s\n",
                reads_effect_size(e) ? "the working size (--size source to full) is read"
                                     : "the working size (--size source to full) is not read");
}

outcome fill_palette(studio& s, const options& o) {
    cfg_image_in& palette = s.image_source().palette();
    if (o.frames_from) {
        if (outcome added = palette.add_animation(*o.frames_from, 0); !added)
            return added;
        if (const std::string warning = palette.warning_at(0); !warning.empty())
            say(warning);
    }
    for (const std::string& image : o.images)
        if (outcome added = palette.add_image(image, palette.count()); !added)
            return added;
    palette.set_selected(0);
    if (o.select) {
        if (*o.select < 1 || *o.select > palette.count())
            return outcome::failure(format("--select %d: the palette holds images 1 to %d",
                                           *o.select, palette.count()));
        palette.set_selected(*o.select - 1);
    }
    return outcome::success();
}

outcome pick(cfg_menu& menu, const std::optional<std::string>& wanted,
             const std::vector<std::string>& words, const char* option) {
    if (!wanted)
        return outcome::success();
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (same_name(words[i], *wanted)) {
            menu.select(static_cast<int>(i));
            return outcome::success();
        }
    }
    return outcome::failure(format("%s \"%s\" is not one of its choices", option, wanted->c_str()));
}

// Sets the setting's first value when the option was given and lies in its range.
template <class Number>
outcome set_in_range(const char* option, const std::optional<Number>& value, cfg_FP64& setting,
                     bool applies = true) {
    if (!value)
        return outcome::success();
    if (*value < setting.minimum(0) || *value > setting.maximum(0))
        return outcome::failure(format("%s %g is out of its range %g to %g", option, double(*value),
                                       setting.minimum(0), setting.maximum(0)));
    if (applies)
        setting.set_value(0, *value);
    return outcome::success();
}

// --size: the words of the working size, or the frame.
outcome choose_size(studio& s, const std::optional<std::string>& wanted) {
    if (!wanted)
        return outcome::success();
    const std::vector<std::string> working = {"source", "small", "medium", "large", "full"};
    for (const std::string& word : working)
        if (same_name(word, *wanted))
            return pick(s.image_source().size_mode(), wanted, working, "--size");
    result<size_choice> frame = parse_size_choice(*wanted);
    if (!frame)
        return outcome::failure("--size: " + frame.message());
    s.set_size_choice(frame.value());
    return outcome::success();
}

outcome apply_options(studio& s, script& effect, const options& o) {
    basic::CPU& clock = s.frame_clock();
    io::GIFOUT& output = s.animation_settings();
    // A still effect keeps its one frame.
    for (outcome applied :
         {set_in_range("--frames", o.frames, clock.frames(), !is_still_effect(effect)),
          set_in_range("--delay", o.delay, output.delay()),
          set_in_range("--loop", o.loop, output.loop()),
          pick(clock.loop(), o.direction,
               {"forward", "backward", "forward-and-back", "back-and-forth"}, "--direction"),
          choose_size(s, o.size)})
        if (!applied)
            return applied;
    // A place's frame, unless a size was chosen too.
    if (o.fit_for && !o.size)
        if (const fit_place* place = find_fit_place(*o.fit_for);
            place != nullptr && place->width > 0)
            s.set_size_choice(size_choice{place->width, place->height});
    s.set_enlarge(o.enlarge);
    // A delay given times every frame, an animated picture's too.
    s.set_source_delays(!o.delay);
    for (const auto& [hold, name] :
         {std::pair{o.hold_first, "--hold-first"}, std::pair{o.hold_last, "--hold-last"}})
        if (hold && (*hold < 0 || *hold > 60))
            return outcome::failure(format("%s %g is out of its range 0 to 60", name, *hold));
    s.set_holds(o.hold_first.value_or(0), o.hold_last.value_or(0));
    if (outcome captioned = s.set_captions(o.caption.value_or(""), o.caption_bottom.value_or(""));
        !captioned)
        return captioned;
    gif_encode_options encoding;
    encoding.optimize = o.optimize;
    encoding.dither = !o.no_dither;
    if (o.lossy && (*o.lossy < 0 || *o.lossy > max_lossy_level))
        return outcome::failure(
            format("--lossy %d is out of its range 0 to %d", *o.lossy, max_lossy_level));
    if (o.colours_max && (*o.colours_max < 2 || *o.colours_max > 256))
        return outcome::failure(
            format("--colours-max %d is out of its range 2 to 256", *o.colours_max));
    encoding.lossy = o.lossy.value_or(0);
    encoding.colours_max = o.colours_max.value_or(256);
    if (o.colours) {
        if (same_name(*o.colours, "fine"))
            encoding.colours = colour_mode::fine;
        else if (!same_name(*o.colours, "standard"))
            return outcome::failure(format("--colours \"%s\" is not one of its choices "
                                           "(standard, fine)",
                                           o.colours->c_str()));
    }
    s.set_encode_options(encoding);
    auto settings = public_settings(s, effect);
    for (const auto& assignment : o.settings)
        if (outcome assigned = assign_setting(settings, assignment.name, assignment.values);
            !assigned)
            return assigned;
    return outcome::success();
}

// The frames of the effect. The construction's failures are the effect's
// (exit status 3); not being able to start at all is the input's.
outcome create_frames(studio& s, int& status) {
    status = bad_input;
    if (!s.can_create())
        return outcome::failure("the effect cannot be created from these images");
    status = effect_failed;
    const auto began = std::chrono::steady_clock::now();
    if (outcome started = s.start_construction(); !started)
        return outcome::failure(without_line_break(started.message()));
    while (s.busy())
        if (outcome stepped = s.step(); !stepped)
            return outcome::failure(without_line_break(stepped.message()));
    if (!s.caption_failure().empty()) {
        status = bad_input;
        return outcome::failure(s.caption_failure());
    }
    // ZOETRA_TRACE=1 gives the construction's time (beside the window's).
    if (const char* trace = std::getenv("ZOETRA_TRACE"); trace != nullptr && *trace != 0)
        std::fprintf(
            stderr, "zoetra-render: created %d frames in %.0f ms\n", s.stored_frames(),
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began)
                .count());
    return outcome::success();
}

// The frames as they are saved (the output area of each), uncompressed: for
// comparing the file with its source, or other encoders with this one.
outcome write_frames_to(studio& s, const std::string& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    const rect area = s.canvas().output_area();
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
            return outcome::failure(format("cannot write the frames into \"%s\"", folder.c_str()));
    }
    std::FILE* info = std::fopen((fs::path(folder) / "info.txt").c_str(), "w");
    if (info == nullptr)
        return outcome::failure(format("cannot write the frames into \"%s\"", folder.c_str()));
    std::fprintf(info, "%d %d %d\n", area.width, area.height, count);
    std::fclose(info);
    return outcome::success();
}

outcome deliver(studio& s, const options& o, progress_printer& progress) {
    if (o.frames_to)
        if (outcome written = write_frames_to(s, *o.frames_to); !written)
            return written;
    if (o.estimate) {
        result<std::uint32_t> bytes = s.size();
        if (!bytes)
            return outcome::failure(without_line_break(bytes.message()));
        progress.end_line();
        std::printf("%u\n", bytes.value());
        return outcome::success();
    }
    if (outcome saved = s.save(o.output); !saved)
        return outcome::failure(without_line_break(saved.message()));
    std::error_code ignored;
    progress.summary(format("The animation went to %s (%d frames, %ju bytes).", o.output.c_str(),
                            std::min(s.frame_count(), s.stored_frames()),
                            std::uintmax_t(fs::file_size(o.output, ignored))));
    return outcome::success();
}

int run(options o) {
    // Paths the user gives are the user's, taken from the folder the program
    // runs in; the program's own files come from its data folder.
    for (auto& image : o.images)
        image = absolute_path(image);
    if (o.frames_from)
        o.frames_from = absolute_path(*o.frames_from);
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
    if (!data) {
        say("cannot find the folder that holds Zoetra's Effects; set ZOETRA_DATA_DIR");
        return bad_input;
    }

    progress_printer progress;
    studio s(*data);
    s.set_listener(&progress);
    auto finish = [&](int status, const outcome& result) {
        progress.end_line();
        if (result)
            return int(success);
        say(result.message());
        return status;
    };

    if (outcome loaded = s.load_effects(); !loaded)
        return finish(cannot_go_on, loaded);
    if (o.list) {
        list_effects(s);
        return finish(success, outcome::success());
    }
    if (o.describe) {
        result<int> index = choose_effect(s, *o.describe);
        if (index)
            describe_effect(s, s.catalogue().effect(index.value()));
        return finish(bad_input, index ? outcome::success() : outcome::failure(index.message()));
    }
    if (o.check) {
        result<int> index = choose_effect(s, *o.check);
        if (!index)
            return finish(bad_input, outcome::failure(index.message()));
        int problems = 0;
        std::printf("%s", check_report(s.catalogue().effect(index.value()), problems).c_str());
        return finish(effect_failed, problems > 0
                                         ? outcome::failure(format("%d problems found", problems))
                                         : outcome::success());
    }
    int index = 0;
    if (o.effect) {
        result<int> chosen = choose_effect(s, *o.effect);
        if (!chosen)
            return finish(bad_input, outcome::failure(chosen.message()));
        index = chosen.value();
    }
    s.select_effect(index);
    script& effect = s.catalogue().effect(index);
    if (outcome filled = fill_palette(s, o); !filled)
        return finish(bad_input, filled);
    if (outcome applied = apply_options(s, effect, o); !applied)
        return finish(bad_input, applied);

    result<std::optional<std::uint32_t>> limit = size_limit(o);
    if (!limit)
        return finish(bad_input, outcome::failure(limit.message()));

    progress.set_quiet(o.quiet);
    int status = success;
    if (outcome created = create_frames(s, status); !created)
        return finish(status, created);
    if (limit.value()) {
        result<fit_report> fitted = fit_studio(
            s, *limit.value(), o, [&] { return create_frames(s, status); },
            [&](const std::string& text) { progress.status(text); });
        if (!fitted)
            return finish(status, outcome::failure(fitted.message()));
        if (!fitted.value().fits)
            return finish(does_not_fit, outcome::failure(fitted.value().text));
        progress.end_line();
        say(fitted.value().text);
    }
    return finish(bad_input, deliver(s, o, progress));
}

} // namespace

int render_main(const std::vector<std::string>& args) {
    result<options> o = parse_options(args);
    if (!o) {
        say(o.message());
        std::fprintf(stderr, "Try 'zoetra-render --help'.\n");
        return usage_error;
    }
    if (o.value().help) {
        std::printf("%s", usage_text);
        return success;
    }
    if (o.value().version) {
        std::printf("zoetra-render 1.0\n");
        return success;
    }
    // A condition the program cannot go on from (memory exhausted after every
    // freeing step) ends it with its message and its own status.
    set_fatal_handler([](const std::string& message) {
        std::fprintf(stderr, "Error: %s\n", without_line_break(message).c_str());
        std::exit(cannot_go_on);
    });
    return run(std::move(o.value()));
}

} // namespace zoetra::cli
