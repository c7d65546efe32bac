#include "production/studio.hpp"

#include "base/utility.hpp"
#include "components/io/register.hpp"
#include "engine/numeric.hpp"
#include "raster/draw.hpp"
#include "skin/palette_pictures.hpp"

#include <algorithm>
#include <cmath>

namespace zoetra {

namespace {
// New frame buffers start as black marked transparent.
constexpr colour frame_background{1, 0, 0, 0};

studio_listener& nobody() {
    static studio_listener quiet;
    return quiet;
}
} // namespace

namespace {
template <class C> std::unique_ptr<C> made(std::unique_ptr<component> c) {
    return std::unique_ptr<C>(static_cast<C*>(c.release()));
}
} // namespace

studio::studio(std::filesystem::path data_folder, diagnostics& sink)
    : program_(std::move(data_folder), sink),
      canvas_(output_canvas::standard_work_width, output_canvas::standard_work_height,
              run_background),
      standing_context_{&program_, nullptr}, listener_(&nobody()) {
    canvas_.set_output_size(initial_output_width, initial_output_height);
    canvas_.on_output_area_changed([this](const rect&) { listener_->output_area_changed(); });
    const component_factory& factory = program_factory();
    gifin_ = made<io::GIFIN>(factory.create("GIFIN", program_));
    gifout_ = made<io::GIFOUT>(factory.create("GIFOUT", program_));
    cpu_ = made<basic::CPU>(factory.create("cpu", program_));
    cube_ = factory.create("CUBE", program_);
    for (component* c :
         {static_cast<component*>(gifin_.get()), static_cast<component*>(gifout_.get()),
          static_cast<component*>(cpu_.get()), cube_.get()}) {
        c->set_context(&standing_context_);
        observe(*c);
    }
}

void studio::observe(component& c) {
    for (int i = 0; i < c.config_count(); ++i)
        observations_.push_back(
            c.config_at(i).observe([this](config& changed, bool setting_change) {
                if (&changed == &gifin_->palette())
                    follow_selected_animation();
                if (!setting_change)
                    return;
                setting_changed();
                // The loop extension comes and goes with a loop count of 1, and
                // the file holds FRAMES of the frames made.
                if (&changed == &gifout_->loop() || &changed == &cpu_->frames()) {
                    forget_size();
                    if (fit_limit_ > 0)
                        forget_fit(); // fitted again for the new file
                }
            }));
}

void studio::setting_changed() {
    if (!writing_settings_)
        settings_changed_ = true;
}

// The scripts go first, then the frames, the standing components and the
// frame image.
studio::~studio() {
    measuring_.reset();
    fitting_.reset();
    running_ = nullptr;
    catalogue_.clear();
    frames_.clear();
    gifin_.reset();
    gifout_.reset();
    cpu_.reset();
    cube_.reset();
}

void studio::set_listener(studio_listener* listener) {
    listener_ = listener != nullptr ? listener : &nobody();
}

void studio::report(const std::string& text) {
    status_ = text;
    listener_->status(text);
}

outcome studio::load_effects() {
    for (const std::string& reason : catalogue_.build(program_, program_factory()))
        listener_->effect_left_out(reason);
    if (catalogue_.count() == 0)
        return outcome::failure(no_effects_message);
    for (int i = 0; i < catalogue_.count(); ++i)
        report(format("Load \"%s\" effect.", catalogue_.effect(i).desc().name.c_str()));
    select_effect(0);
    return outcome::success();
}

component& studio::standing(std::string_view name) const {
    if (same_name(name, "GIFIN"))
        return *gifin_;
    if (same_name(name, "GIFOUT"))
        return *gifout_;
    if (same_name(name, "CUBE"))
        return *cube_;
    return *cpu_;
}

int studio::frame_count() const {
    return truncate_to_int(cpu_->frames().value(0));
}

script* studio::current_effect() const {
    return current_ >= 0 && current_ < catalogue_.count() ? &catalogue_.effect(current_) : nullptr;
}

// ---- effects -------------------------------------------------------------

void studio::select_effect(int index) {
    // While frames are being made the effect and its frame count stay as they are.
    if (busy_ || index < 0 || index >= catalogue_.count() || index == current_)
        return;
    current_ = index;
    script& s = catalogue_.effect(index);
    report(s.desc().text);
    // An animated picture makes its own frames, even in a still effect.
    const int animated = selected_animation_frames();
    if (is_still_effect(s) && animated > 1)
        cpu_->frames().set_value(0, animated);
    else if (is_still_effect(s) && frame_count() > 1)
        cpu_->frames().set_value(0, 1);
}

int studio::selected_animation_frames() const {
    const cfg_image_in& palette = gifin_->palette();
    return palette.animated_at(palette.selected()) ? palette.frames_at(palette.selected()) : 0;
}

void studio::follow_selected_animation() {
    const cfg_image_in& palette = gifin_->palette();
    const std::string& selected = palette.name_at(palette.selected());
    if (selected == followed_entry_)
        return;
    followed_entry_ = selected;
    // Newly chosen, an animated picture brings its frame count; the person
    // may change it afterwards.
    if (const int frames = selected_animation_frames(); frames > 1) {
        if (frames != frame_count())
            cpu_->frames().set_value(0, frames);
        // Its own delays, until the person sets one.
        set_source_delays(true);
    }
}

void studio::set_source_delays(bool on) {
    if (on == source_delays_on_)
        return;
    source_delays_on_ = on;
    forget_size();
    if (fit_limit_ > 0)
        forget_fit();
}

bool studio::can_create() const {
    const cfg_image_in& palette = gifin_->palette();
    return !busy_ && current_effect() != nullptr && palette.count() > 0 &&
           palette.selected() < palette.count();
}

void studio::attach_hooks(script& s) {
    s.on_run_begin = [this] { run_begins(); };
    s.on_progress = [this](int fired, int count) {
        if (frame_counter_ < max_frames)
            listener_->run_progress(frame_counter_, fired, count);
    };
    s.on_frame_done = [this] { frame_done(); };
    s.on_settings_changed = [this] { setting_changed(); };
}

// Copies the standing settings into the network, starts it, and copies the
// frame clock's and the output settings back.
outcome studio::start_script() {
    script& s = *running_;
    s.reset();
    s.set_canvas(&canvas_);
    attach_hooks(s);
    writing_settings_ = true;
    for (int i = 0; i < s.component_count(); ++i) {
        component& c = s.component_at(i);
        for (const char* name : {"CPU", "GIFIN", "GIFOUT", "CUBE"})
            if (same_name(c.name(), name))
                c.copy_configs_from(standing(name));
    }
    writing_settings_ = false;
    if (outcome started = s.start(); !started)
        return outcome::failure(
            format("Script failed to startup because \"%s\".\n", started.message().c_str()));
    writing_settings_ = true;
    for (int i = 0; i < s.component_count(); ++i) {
        component& c = s.component_at(i);
        if (same_name(c.name(), "CPU"))
            cpu_->copy_configs_from(c);
        else if (same_name(c.name(), "GIFOUT"))
            gifout_->copy_configs_from(c);
    }
    writing_settings_ = false;
    return outcome::success();
}

void studio::set_size_choice(const size_choice& choice) {
    frames_outdated_ = frames_outdated_ || (has_frames() && !(choice == size_choice_));
    size_choice_ = choice;
}

void studio::set_enlarge(bool on) {
    frames_outdated_ = frames_outdated_ || (has_frames() && on != enlarge_);
    enlarge_ = on;
}

gif_size studio::frame_size() const {
    if (!size_choice_.chosen())
        return gif_size{initial_output_width, initial_output_height};
    const cfg_image_in& palette = gifin_->palette();
    return resolve_frame(size_choice_,
                         program_.pictures().own_size(palette.name_at(palette.selected())));
}

void studio::fix_the_frame() {
    // Autocrop shrank the output area to the last animation; a new one
    // starts from the full frame size again, or every Create would crop a
    // little further. A chosen frame larger than the standard work area
    // widens the work area to hold it.
    const gif_size frame = frame_size();
    canvas_.set_work_size(
        std::max<std::uint16_t>(output_canvas::standard_work_width, frame.width),
        std::max<std::uint16_t>(output_canvas::standard_work_height, frame.height));
    canvas_.set_output_size(frame.width, frame.height);
    const rect area = canvas_.output_area();
    program_.pictures().set_frame(gif_size{area.width, area.height}, enlarge_);
}

outcome studio::start_construction() {
    if (!can_create())
        return outcome::failure("There is no image to make frames from.");
    saved_ = false;
    frames_outdated_ = false;
    forget_size();
    // New frames are fitted again, with the coding the person chose as the
    // starting point.
    if (fit_limit_ > 0) {
        forget_fit();
        set_encode_options(chosen_options_);
    }
    frames_.clear();
    captions_.forget_frames();
    frame_counter_ = 0;
    const cfg_image_in& palette = gifin_->palette();
    source_delays_ = palette.delays_at(palette.selected());
    fix_the_frame();
    running_ = current_effect();
    // Changes made before construction began are in the network it starts.
    settings_changed_ = false;
    if (outcome started = start_script(); !started) {
        running_ = nullptr;
        return started;
    }
    busy_ = true;
    listener_->construction_started();
    report(format("Creating frame 1 of %d.", frame_count()));
    return outcome::success();
}

outcome studio::step() {
    if (!busy_)
        return outcome::success();
    if (settings_changed_) {
        settings_changed_ = false;
        outcome restarted = start_script();
        if (!restarted)
            cancel_construction();
        return restarted;
    }
    if (outcome ran = running_->run(true); !ran) {
        cancel_construction();
        return outcome::failure(format("The effect failed while creating frames because \"%s\".\n",
                                       ran.message().c_str()));
    }
    return outcome::success();
}

// At the start of every run the canvas is cleared: every frame starts from
// the run's background.
void studio::run_begins() {
    program_.pictures().set_slot(frame_counter_, frame_count());
    buffer& image = canvas_.image();
    buffer_lock lock(image);
    fast_fill(image, run_background);
}

void studio::frame_done() {
    if (running_ == nullptr)
        return;
    listener_->canvas_changed();
    capture_frame();
    ++frame_counter_;
    // A frame count lowered below the frames made so far ends construction
    // too, rather than letting it run for ever.
    if (frame_counter_ < frame_count()) {
        if (frame_count() > stored_frames())
            report(format("Creating frame %d of %d.", stored_frames() + 1, frame_count()));
        return;
    }
    complete_construction();
}

namespace {

// The bounding box of a frame's visible pixels, or none.
std::optional<rect> visible_box(buffer& image) {
    buffer_lock lock(image);
    const pixel* p = image.pixels();
    int left = image.width(), right = -1, top = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const pixel* row = p + std::size_t(y) * image.width();
        for (int x = 0; x < image.width(); ++x) {
            if (!is_visible(row[x]))
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            if (top < 0)
                top = y;
            bottom = y;
        }
    }
    if (right < 0)
        return std::nullopt;
    return rect{static_cast<std::int16_t>(left), static_cast<std::int16_t>(top),
                static_cast<std::uint16_t>(right - left + 1),
                static_cast<std::uint16_t>(bottom - top + 1)};
}

} // namespace

void studio::capture_frame() {
    if (frame_count() <= frame_counter_ || stored_frames() >= max_frames)
        return;
    buffer& canvas_image = canvas_.image();
    const rect area = canvas_.output_area();
    auto image = std::make_unique<buffer>(area.width, area.height, frame_background);
    stretch_copy(canvas_image, *image, 0, 0, area.width, area.height, 0, 0, area.width,
                 area.height);
    // An empty frame takes the whole output area as its box, so it prevents cropping.
    rect box = visible_box(*image).value_or(rect{0, 0, area.width, area.height});
    image->set_swappable(true);
    frames_.push_back(stored{std::move(image), box});
    listener_->frame_captured(stored_frames() - 1, *frames_.back().image);
}

void studio::complete_construction() {
    busy_ = false;
    frame_counter_ = 0;
    if (running_ != nullptr)
        running_->reset();
    running_ = nullptr;
    listener_->construction_ended();
    report("Completed frame construction.");
    autocrop();
    draw_captions();
    const rect area = canvas_.output_area();
    if (area.width > output_canvas::standard_work_width ||
        area.height > output_canvas::standard_work_height)
        report(format("Done. Created %d frames of %d x %d: the preview is scaled down, the file "
                      "keeps the full size.",
                      frame_count(), area.width, area.height));
    else
        report(format("Done. Created %d frames.", frame_count()));
}

void studio::autocrop() {
    // A chosen size is the file's size: nothing is cropped.
    if (frames_.empty() || size_choice_.chosen())
        return;
    rect area = canvas_.output_area();
    int left = frames_[0].box.x, top = frames_[0].box.y;
    int right = left + frames_[0].box.width, bottom = top + frames_[0].box.height;
    for (const stored& f : frames_) {
        left = std::min<int>(left, f.box.x);
        top = std::min<int>(top, f.box.y);
        right = std::max(right, f.box.x + f.box.width);
        bottom = std::max(bottom, f.box.y + f.box.height);
    }
    rect crop{static_cast<std::int16_t>(left), static_cast<std::int16_t>(top),
              static_cast<std::uint16_t>(std::max(0, right - left)),
              static_cast<std::uint16_t>(std::max(0, bottom - top))};
    rect whole{0, 0, area.width, area.height};
    if (left < 0 || top < 0 || right > area.width || bottom > area.height || crop.width == 0 ||
        crop.height == 0)
        crop = whole;
    int mx = area.width / 20, my = area.height / 20;
    bool covers_inner = crop.x <= mx && crop.y <= my && crop.x + crop.width >= area.width - mx &&
                        crop.y + crop.height >= area.height - my;
    if (crop == area || crop == whole || covers_inner)
        return;
    int count = stored_frames();
    for (int i = 0; i < count; ++i) {
        report(format("Start autocropping frame %d of %d.", i + 1, count));
        auto cropped = std::make_unique<buffer>(crop.width, crop.height, frame_background);
        stretch_copy(*frames_[i].image, *cropped, crop.x, crop.y, crop.width, crop.height, 0, 0,
                     crop.width, crop.height);
        cropped->set_swappable(true);
        frames_[i].image = std::move(cropped);
    }
    canvas_.set_output_size(crop.width, crop.height);
}

void studio::cancel_construction() {
    if (!busy_)
        return;
    frame_counter_ = frame_count();
    capture_frame();
    if (running_ != nullptr)
        running_->reset();
    running_ = nullptr;
    frames_.clear();
    captions_.forget_frames();
    busy_ = false;
    frame_counter_ = 0;
    listener_->construction_ended();
    report("Cancel frame construction.");
}

// ---- preview -------------------------------------------------------------

bool studio::preview_step(double now) {
    if (busy_ || frames_.empty())
        return false;
    if (!preview_started_) {
        preview_started_ = true;
        preview_time_ = now;
        return false;
    }
    if (now - preview_time_ <= shown_for((frame_counter_ + stored_frames() - 1) % stored_frames()))
        return false;
    if (frame_counter_ >= stored_frames())
        frame_counter_ = 0;
    copy_to_output_area(frame_counter_);
    frame_counter_ = (frame_counter_ + 1) % stored_frames();
    preview_time_ = now;
    return true;
}

void studio::show_preview_frame() {
    if (busy_ || frames_.empty())
        return;
    // The counter stands at the frame to show next; the one shown last is before it.
    copy_to_output_area((frame_counter_ + stored_frames() - 1) % stored_frames());
}

void studio::copy_to_output_area(int i) {
    buffer& shown = *frames_[std::size_t(i)].image;
    buffer& image = canvas_.image();
    std::uint16_t w = std::min(shown.width(), image.width());
    std::uint16_t h = std::min(shown.height(), image.height());
    stretch_copy(shown, image, 0, 0, w, h, 0, 0, w, h);
    listener_->canvas_changed();
}

std::optional<double> studio::next_preview_time() const {
    if (busy_ || frames_.empty())
        return std::nullopt;
    if (!preview_started_)
        return 0.0; // the first step only notes the time: due at once
    return preview_time_ + shown_for((frame_counter_ + stored_frames() - 1) % stored_frames());
}

// ---- captions and holds ----------------------------------------------------

std::vector<buffer*> studio::all_frames() const {
    std::vector<buffer*> list;
    for (const stored& f : frames_)
        list.push_back(f.image.get());
    return list;
}

void studio::draw_captions() {
    caption_failure_.clear();
    if (outcome drawn = captions_.draw_on(all_frames()); !drawn) {
        caption_failure_ = drawn.message();
        report(format("The caption is left out: %s.", drawn.message().c_str()));
    }
}

outcome studio::set_captions(std::string top, std::string bottom) {
    if (top == captions_.top() && bottom == captions_.bottom())
        return caption_failure_.empty() ? outcome::success() : outcome::failure(caption_failure_);
    // Measuring and fitting read the frames: they end before the frames change.
    forget_size();
    if (fit_limit_ > 0)
        forget_fit();
    const std::vector<buffer*> frames = all_frames();
    captions_.take_off(frames);
    captions_.set_texts(std::move(top), std::move(bottom));
    if (!frames.empty() && !busy_) {
        draw_captions();
        show_preview_frame();
    }
    return caption_failure_.empty() ? outcome::success() : outcome::failure(caption_failure_);
}

gif_encode_options studio::options_to_write(gif_encode_options options) const {
    options.kept = captions_.colours_to_keep();
    return options;
}

void studio::set_holds(double first_seconds, double last_seconds) {
    auto kept = [](double seconds) {
        return std::isfinite(seconds) ? std::clamp(seconds, 0.0, 60.0) : 0.0;
    };
    first_seconds = kept(first_seconds);
    last_seconds = kept(last_seconds);
    if (first_seconds == hold_first_ && last_seconds == hold_last_)
        return;
    hold_first_ = first_seconds;
    hold_last_ = last_seconds;
    forget_size();
    if (fit_limit_ > 0)
        forget_fit();
}

int studio::turning_frame(int count) const {
    const auto mode = basic::CPU::loop_mode(cpu_->loop().selected());
    if (mode != basic::CPU::forward_and_back && mode != basic::CPU::back_and_forth)
        return count - 1;
    // Where the clock's control value is furthest from where it starts.
    const std::uint8_t n = std::uint8_t(std::clamp(count, 1, 255));
    const int start = basic::CPU::control_value(mode, 0, n);
    int turn = count - 1, furthest = -1;
    for (int k = 0; k < count; ++k)
        if (const int d = std::abs(basic::CPU::control_value(mode, std::uint8_t(k), n) - start);
            d > furthest) {
            furthest = d;
            turn = k;
        }
    return turn;
}

std::vector<std::uint16_t> resample_delays(const std::vector<std::uint16_t>& source, int count) {
    const std::int64_t m = std::int64_t(source.size());
    std::vector<std::uint16_t> delays(std::size_t(std::max(count, 0)), 0);
    if (m == 0 || count <= 0)
        return delays;
    // The input frame each output frame shows: floor(k * m / count).
    auto shown = [&](std::int64_t k) { return k * m / count; };
    for (std::int64_t k = 0; k < count;) {
        const std::int64_t first = shown(k), after = shown(k + 1);
        if (after > first) {
            // This frame stands for input frames first to after - 1.
            std::uint32_t sum = 0;
            for (std::int64_t j = first; j < after; ++j)
                sum += source[std::size_t(j)];
            delays[std::size_t(k)] = std::uint16_t(std::min<std::uint32_t>(sum, 0xFFFF));
            ++k;
            continue;
        }
        // Several output frames show input frame first: they share its
        // delay, the first ones taking the remainder.
        std::int64_t end = k + 1;
        while (end < count && shown(end) == first)
            ++end;
        const std::int64_t sharing = end - k;
        const std::uint16_t whole = source[std::size_t(first)];
        for (std::int64_t i = 0; i < sharing; ++i)
            delays[std::size_t(k + i)] =
                std::uint16_t(whole / sharing + (i < whole % sharing ? 1 : 0));
        k = end;
    }
    return delays;
}

std::vector<std::uint16_t> studio::frame_delays() const {
    const int count = std::min(frame_count(), stored_frames());
    std::vector<std::uint16_t> delays(std::size_t(std::max(count, 0)), delay());
    if (count == 0)
        return delays;
    if (source_delays_on_ && !source_delays_.empty())
        delays = resample_delays(source_delays_, count);
    if (hold_last_ > 0)
        delays[std::size_t(turning_frame(count))] = gif_delay_from_seconds(hold_last_);
    if (hold_first_ > 0)
        delays[0] = gif_delay_from_seconds(hold_first_);
    return delays;
}

double studio::shown_for(int i) const {
    // Without a hold or an animation's own delays, the delay as set (the
    // file stores it in hundredths).
    const int count = std::min(frame_count(), stored_frames());
    const bool held = (i == 0 && hold_first_ > 0) || (hold_last_ > 0 && i == turning_frame(count));
    if (!held && !(source_delays_on_ && !source_delays_.empty()))
        return gifout_->delay().value(0);
    const std::vector<std::uint16_t> delays = frame_delays();
    return i >= 0 && std::size_t(i) < delays.size() ? delays[std::size_t(i)] / 100.0
                                                    : gifout_->delay().value(0);
}

} // namespace zoetra
