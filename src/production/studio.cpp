#include "production/studio.hpp"

#include "app/services/utility.hpp"
#include "components/io/register.hpp"
#include "engine/numeric.hpp"
#include "gif/decoder.hpp"
#include "raster/draw.hpp"
#include "raster/text.hpp"
#include "raster/ui_colours.hpp"
#include "ui/skin_images.hpp"

#include <algorithm>

namespace zoetra {

namespace {
// New frame buffers start as black marked transparent.
constexpr colour frame_background{1, 0, 0, 0};
constexpr int slot_size = 30;
} // namespace

component_factory& program_factory() {
    static component_factory& factory = [&]() -> component_factory& {
        define_all_components(standard_factory());
        return standard_factory();
    }();
    return factory;
}

rect studio::frame_slot(int k) {
    return rect{static_cast<std::int16_t>(8 + 40 * (k % 16)),
                static_cast<std::int16_t>(22 + 40 * (k / 16)), slot_size, slot_size};
}

studio::studio(std::uint16_t width, std::uint16_t height) : frame_(width, height) {
    install_frame_image(&frame_);
    install_shell(this);
    frame_.on_output_area_changed([this](const rect&) { draw_work_area(); });
    present_area(rect{});
    set_status("Welcome to Zoetra.");
    draw_splash();
    frame_.set_output_size(initial_output_width, initial_output_height);

    component_factory& factory = program_factory();
    gifin_.reset(dynamic_cast<io::GIFIN*>(factory.create("GIFIN").release()));
    gifout_ = factory.create("GIFOUT");
    cpu_ = factory.create("cpu");
    cube_ = factory.create("CUBE");

    catalogue_.build(factory);
    select_effect(0);
    draw_work_area();
    present_area(rect{});
    ready_ = true;
    settings_changed_ = false;
}

studio::~studio() {
    catalogue_.clear();
    empty_skin_cache();
    frames_.clear();
    gifin_.reset();
    gifout_.reset();
    cpu_.reset();
    cube_.reset();
    install_shell(nullptr);
    install_frame_image(nullptr);
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
    return truncate_to_int(cpu_->number("FRAMES.CONTROL").value(0));
}

script* studio::current_effect() const {
    return current_ >= 0 && current_ < catalogue_.count() ? &catalogue_.effect(current_) : nullptr;
}

// ---- drawing -------------------------------------------------------------

void studio::show_status(const std::string& text) {
    status_ = text;
    rect line = frame_.status_line();
    buffer& image = frame_.image();
    buffer_lock lock(image);
    fast_fill(image, ui_mid, line);
    draw_line(image, line.x, line.y, line.x + line.width - 1, line.y, ui_dark);
    draw_line(image, line.x, line.y + 1, line.x + line.width - 1, line.y + 1, ui_light);
    // Status texts may end with a line break; the line shows only the text.
    std::string shown = text.substr(0, text.find('\n'));
    draw_text_at(image, shown, static_cast<std::int16_t>(line.x + 4),
                 static_cast<std::int16_t>(line.y + 14), ui_text);
    present_area(line);
}

void studio::present_area(const rect& area) {
    if (platform* p = installed_platform())
        p->present(area);
}

void studio::draw_splash() {
    rect work = frame_.work_area();
    std::unique_ptr<buffer> splash = load_gif(skin_image_name("__splash.gif"));
    if (!splash)
        return;
    int w = std::min<int>(splash->width(), work.width);
    int h = std::min<int>(splash->height(), work.height);
    stretch_copy(*splash, frame_.image(), static_cast<std::int16_t>((splash->width() - w) / 2),
                 static_cast<std::int16_t>((splash->height() - h) / 2), std::uint16_t(w),
                 std::uint16_t(h), static_cast<std::int16_t>(work.x + (work.width - w) / 2),
                 static_cast<std::int16_t>(work.y + (work.height - h) / 2), std::uint16_t(w),
                 std::uint16_t(h));
    present_area(work);
}

void studio::draw_work_area() {
    rect work = frame_.work_area();
    buffer& image = frame_.image();
    {
        buffer_lock lock(image);
        fast_fill(image, ui_mid, work);
    }
    if (busy_) {
        draw_construction_screen();
    } else if (frames_.empty()) {
        std::string name = skin_image_name("__background.gif");
        gif_size size = probe_gif_size(name);
        int w = std::min<int>(size.width, work.width);
        int h = std::min<int>(size.height, work.height);
        draw_skin_image(image, name, work.x + (work.width - w) / 2, work.y + (work.height - h) / 2,
                        w, h, 0);
    }
    present_area(work);
}

void studio::draw_construction_screen() {
    buffer& image = frame_.image();
    buffer_lock lock(image);
    rect top{0, 0, frame_.width(), static_cast<std::uint16_t>(frame_.work_area().y)};
    fast_fill(image, ui_mid, top);
    draw_text_in_box(image, 50, 0, static_cast<std::uint16_t>(std::max(0, frame_.width() - 100)),
                     24, "I am now creating your gif89 frames...", ui_text, text_size::points_12);
    for (int k = 0; k < std::min(frame_count(), max_frames); ++k) {
        rect slot = frame_slot(k);
        // A sunken frame one pixel outside the slot.
        int x0 = slot.x - 1, y0 = slot.y - 1, x1 = slot.x + slot.width, y1 = slot.y + slot.height;
        draw_line(image, x0, y0, x1, y0, ui_dark);
        draw_line(image, x0, y0, x0, y1, ui_dark);
        draw_line(image, x0, y1, x1, y1, ui_light);
        draw_line(image, x1, y0, x1, y1, ui_light);
    }
    draw_cancel_button();
    present_area(top);
}

void studio::draw_cancel_button() {
    buffer& image = frame_.image();
    buffer_lock lock(image);
    const rect& b = cancel_button;
    colour upper = cancel_pressed_ ? ui_dark : ui_highlight;
    colour lower = cancel_pressed_ ? ui_highlight : ui_dark;
    draw_rectangle(image, b.x, b.y, b.width, b.height, ui_light, true, ui_light);
    draw_line(image, b.x, b.y, b.x + b.width - 1, b.y, upper);
    draw_line(image, b.x, b.y, b.x, b.y + b.height - 1, upper);
    draw_line(image, b.x, b.y + b.height - 1, b.x + b.width - 1, b.y + b.height - 1, lower);
    draw_line(image, b.x + b.width - 1, b.y, b.x + b.width - 1, b.y + b.height - 1, lower);
    if (!draw_skin_image(image, skin_image_name("__cancel.gif"), b.x + 2, b.y + 2, b.width - 4,
                         b.height - 4, 0))
        draw_text_at(image, "Cancel(backspace)", static_cast<std::int16_t>(b.x + 6),
                     static_cast<std::int16_t>(b.y + 12), ui_text);
    present_area(b);
}

// ---- effects -------------------------------------------------------------

void studio::select_effect(int index) {
    // While frames are being made the effect and its frame count stay as they are.
    if (busy_ || index < 0 || index >= catalogue_.count() || index == current_)
        return;
    current_ = index;
    script& s = catalogue_.effect(index);
    set_status(s.desc().text);
    if (is_still_effect(s) && frame_count() > 1)
        cpu_->number("FRAMES.CONTROL").set_value(0, 1);
}

bool studio::can_create() const {
    const cfg_image_in& palette = gifin_->palette();
    return !busy_ && current_effect() != nullptr && palette.count() > 0 &&
           palette.selected() < palette.count();
}

void studio::attach_hooks(script& s) {
    s.on_run_begin = [this] { run_begins(); };
    s.on_progress = [this](int fired, int count) { show_progress(fired, count); };
    s.on_frame_done = [this] { frame_done(); };
}

// Copies the standing settings into the network, starts it, and copies the
// frame clock's and the output settings back.
bool studio::start_script() {
    script& s = *running_;
    s.reset();
    for (int i = 0; i < s.component_count(); ++i) {
        component& c = s.component_at(i);
        for (const char* name : {"CPU", "GIFIN", "GIFOUT", "CUBE"})
            if (same_name(c.name(), name))
                c.copy_configs_from(standing(name));
    }
    std::string error;
    if (!s.start(error)) {
        error_box(format("Script failed to startup because \"%s\".\n", error.c_str()));
        return false;
    }
    for (int i = 0; i < s.component_count(); ++i) {
        component& c = s.component_at(i);
        if (same_name(c.name(), "CPU"))
            cpu_->copy_configs_from(c);
        else if (same_name(c.name(), "GIFOUT"))
            gifout_->copy_configs_from(c);
    }
    attach_hooks(s);
    return true;
}

bool studio::start_construction() {
    if (!can_create())
        return false;
    saved_ = false;
    size_known_ = false;
    frames_.clear();
    frame_counter_ = 0;
    // Autocrop shrank the output area to the last animation; a new one
    // starts from the full frame size again, or every Create would crop a
    // little further.
    frame_.set_output_size(initial_output_width, initial_output_height);
    running_ = current_effect();
    if (!start_script()) {
        running_ = nullptr;
        return false;
    }
    // Copying the standing settings marked them changed; that is no reason
    // to start the network a second time.
    settings_changed_ = false;
    busy_ = true;
    draw_work_area();
    set_status(format("Creating frame 1 of %d.", frame_count()));
    return true;
}

void studio::run_begins() {
    buffer_lock lock(frame_.image());
    fast_fill(frame_.image(), ui_mid, frame_.output_area());
}

void studio::show_progress(int fired, int count) {
    if (frame_counter_ >= max_frames || count <= 0)
        return;
    rect slot = frame_slot(frame_counter_);
    int height = slot.height * fired / count;
    if (height <= 0)
        return;
    buffer_lock lock(frame_.image());
    draw_rectangle(frame_.image(), slot.x, slot.y, slot.width, std::uint16_t(height), colour{},
                   true, colour{});
    present_area(slot);
}

void studio::frame_done() {
    if (!ready_ || running_ == nullptr)
        return;
    present_area(frame_.output_area());
    capture_frame();
    ++frame_counter_;
    // A frame count lowered below the frames made so far ends construction
    // too, rather than letting it run for ever.
    if (frame_counter_ < frame_count()) {
        if (frame_count() > stored_frames())
            set_status(format("Creating frame %d of %d.", stored_frames() + 1, frame_count()));
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
    rect area = frame_.output_area();
    auto image = std::make_unique<buffer>(area.width, area.height, frame_background);
    stretch_copy(frame_.image(), *image, area.x, area.y, area.width, area.height, 0, 0, area.width,
                 area.height);
    rect slot = frame_slot(stored_frames());
    stretch_copy(*image, frame_.image(), 0, 0, area.width, area.height, slot.x, slot.y, slot.width,
                 slot.height);
    present_area(slot);
    // An empty frame takes the whole output area as its box, so it prevents cropping.
    rect box = visible_box(*image).value_or(area);
    image->set_swappable(true);
    frames_.push_back(stored{std::move(image), box});
}

void studio::complete_construction() {
    busy_ = false;
    frame_counter_ = 0;
    if (running_ != nullptr)
        running_->reset();
    running_ = nullptr;
    draw_work_area();
    set_status("Completed frame construction.");
    autocrop();
    set_status(format("Done. Created %d frames.", frame_count()));
    draw_work_area();
}

void studio::autocrop() {
    if (frames_.empty())
        return;
    rect area = frame_.output_area();
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
        set_status(format("Start autocropping frame %d of %d.", i + 1, count));
        auto cropped = std::make_unique<buffer>(crop.width, crop.height, frame_background);
        stretch_copy(*frames_[i].image, *cropped, crop.x, crop.y, crop.width, crop.height, 0, 0,
                     crop.width, crop.height);
        cropped->set_swappable(true);
        frames_[i].image = std::move(cropped);
    }
    frame_.set_output_size(crop.width, crop.height);
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
    busy_ = false;
    cancel_pressed_ = false;
    frame_counter_ = 0;
    draw_work_area();
    set_status("Cancel frame construction.");
}

// ---- events --------------------------------------------------------------

void studio::idle(int x, int y) {
    if (busy_) {
        if (settings_changed_) {
            if (!start_script())
                cancel_construction();
            // Starting copies the standing settings in, which marks them changed.
            settings_changed_ = false;
            return;
        }
        std::string error;
        if (!running_->run(error, true)) {
            error_box(
                format("The effect failed while creating frames because \"%s\".\n", error.c_str()));
            cancel_construction();
        }
        return;
    }
    if (!mouse_held_ && x == last_x_ && y == last_y_)
        preview_step(x, y);
    settings_changed_ = false;
    last_x_ = x;
    last_y_ = y;
}

void studio::preview_step(int, int) {
    if (frames_.empty())
        return;
    double now = seconds();
    if (!preview_started_) {
        preview_started_ = true;
        preview_time_ = now;
        return;
    }
    if (now - preview_time_ <= gifout_->number("DELAY").value(0))
        return;
    if (frame_counter_ >= stored_frames())
        frame_counter_ = 0;
    buffer& shown = *frames_[frame_counter_].image;
    rect area = frame_.output_area();
    std::uint16_t w = std::min(shown.width(), area.width);
    std::uint16_t h = std::min(shown.height(), area.height);
    stretch_copy(shown, frame_.image(), 0, 0, w, h, area.x, area.y, w, h);
    present_area(area);
    frame_counter_ = (frame_counter_ + 1) % stored_frames();
    preview_time_ = now;
}

void studio::mouse_down(int x, int y, int) {
    if (busy_) {
        if (cancel_button.contains(x, y)) {
            cancel_pressed_ = true;
            draw_cancel_button();
        }
        return;
    }
    mouse_held_ = true;
    idle(x, y);
}

void studio::mouse_up(int x, int y, int) {
    if (busy_) {
        if (cancel_pressed_ && cancel_button.contains(x, y))
            cancel_construction();
        else if (cancel_pressed_) {
            cancel_pressed_ = false;
            draw_cancel_button();
        }
        return;
    }
    mouse_held_ = false;
}

void studio::key(int ch, int, int) {
    if (busy_) {
        if (ch == 8)
            cancel_construction();
        return;
    }
    switch (ch) {
    case 2:
        empty_skin_cache();
        break;
    case 7:
        start_construction();
        break;
    case 19:
        if (!frames_.empty())
            save();
        break;
    case 3:
        if (!frames_.empty())
            show_size();
        break;
    default:
        break;
    }
}

void studio::command(const std::string& category, const std::string& name) {
    if (category != "file" || busy_ || current_effect() == nullptr)
        return;
    if (name == "create")
        start_construction();
    else if (name == "calculate" && !frames_.empty())
        show_size();
    else if (name == "save" && !frames_.empty())
        save();
}

} // namespace zoetra
