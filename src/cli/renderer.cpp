#include "cli/renderer.hpp"

#include "app/services/utility.hpp"
#include "cli/options.hpp"
#include "cli/settings.hpp"
#include "gif/decoder.hpp"
#include "platform/headless_platform.hpp"
#include "production/data_directory.hpp"
#include "production/studio.hpp"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace zoetra::cli {
namespace fs = std::filesystem;

namespace {

// The headless platform of the renderer: status lines become the progress
// output once rendering has begun; message boxes are kept for the renderer
// to report in its own words.
class renderer_platform : public headless_platform {
  public:
    void message_box(const std::string& caption, const std::string& text, icon kind) override {
        boxes.push_back(caption + ": " + text);
        if (kind == icon::information && speaking)
            std::fprintf(stderr, "%s\n", text.c_str());
    }
    std::vector<std::string> boxes;
    bool speaking = false;
};

struct failure {
    int status;
    std::string message;
};

void say(const char* what, const std::string& text) {
    std::fprintf(stderr, "zoetra-render: %s%s\n", what, text.c_str());
}

std::string absolute_path(const std::string& path) {
    std::error_code error;
    fs::path made = fs::absolute(path, error);
    return error ? path : made.lexically_normal().string();
}

std::string last_box(const renderer_platform& p) {
    if (p.boxes.empty())
        return "";
    std::string text = p.boxes.back();
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
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

std::optional<failure> fill_palette(studio& s, const options& o, renderer_platform& p) {
    cfg_image_in& palette = s.image_source().palette();
    for (const std::string& image : o.images) {
        std::error_code ignored;
        if (!fs::is_regular_file(image, ignored))
            return failure{bad_input, format("the image \"%s\" does not exist", image.c_str())};
        std::string reason;
        if (!load_gif(image, reason))
            return failure{bad_input, format("the image \"%s\" is not a readable GIF (%s)",
                                             image.c_str(), reason.c_str())};
        if (!palette.add_image(image, palette.count()))
            return failure{bad_input, format("the image \"%s\" was refused: %s", image.c_str(),
                                             last_box(p).c_str())};
    }
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
    auto settings = public_settings(s, effect);
    for (const auto& assignment : o.settings) {
        std::string error;
        if (!assign_setting(settings, assignment.name, assignment.values, error))
            return failure{bad_input, error};
    }
    return std::nullopt;
}

std::optional<failure> create_frames(studio& s, renderer_platform& p) {
    std::size_t boxes_before = p.boxes.size();
    if (!s.start_construction()) {
        if (p.boxes.size() > boxes_before)
            return failure{effect_failed, last_box(p)};
        return failure{bad_input, "the effect cannot be created from these images"};
    }
    while (s.busy())
        s.idle(0, 0);
    if (p.boxes.size() > boxes_before)
        return failure{effect_failed, last_box(p)};
    return std::nullopt;
}

std::optional<failure> deliver(studio& s, const options& o, renderer_platform& p) {
    if (o.estimate) {
        std::uint32_t bytes = s.size();
        if (bytes == 0)
            return failure{bad_input, last_box(p)};
        std::printf("%u\n", bytes);
        return std::nullopt;
    }
    p.queue_file_choice(o.output);
    if (!s.save())
        return failure{bad_input, format("cannot write \"%s\"", o.output.c_str())};
    return std::nullopt;
}

int run(options o) {
    // Paths the user gives are the user's; the program then works in its data folder.
    for (auto& image : o.images)
        image = absolute_path(image);
    o.output = absolute_path(o.output);
    if (o.effect && o.effect->find('/') != std::string::npos)
        o.effect = absolute_path(*o.effect);
    if (o.describe && o.describe->find('/') != std::string::npos)
        o.describe = absolute_path(*o.describe);

    std::optional<fs::path> data = find_data_directory();
    std::error_code error;
    if (!data || (fs::current_path(*data, error), error)) {
        say("", "cannot find the folder that holds Zoetra's Effects; set ZOETRA_DATA_DIR");
        return bad_input;
    }

    renderer_platform p;
    p.set_quiet(true);
    install_platform(&p);
    studio s;
    auto finish = [&](std::optional<failure> f) {
        install_platform(nullptr);
        if (!f)
            return int(success);
        say("", f->message);
        return f->status;
    };

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
    int index = 0;
    if (o.effect) {
        std::string reason;
        index = choose_effect(s, *o.effect, reason);
        if (index < 0)
            return finish(failure{bad_input, reason});
    }
    s.select_effect(index);
    script& effect = s.catalogue().effect(index);
    if (auto f = fill_palette(s, o, p))
        return finish(f);
    if (auto f = apply_options(s, effect, o))
        return finish(f);

    p.set_quiet(o.quiet);
    p.speaking = !o.quiet;
    if (auto f = create_frames(s, p))
        return finish(f);
    if (auto f = deliver(s, o, p))
        return finish(f);
    if (!o.quiet && !o.estimate)
        std::fprintf(stderr, "The animation went to %s\n", o.output.c_str());
    return finish(std::nullopt);
}

} // namespace

int render_main(const std::vector<std::string>& args) {
    std::string error;
    std::optional<options> o = parse_options(args, error);
    if (!o) {
        say("", error);
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
