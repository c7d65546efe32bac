#include "components/io/image_source.hpp"

#include "components/basic/common.hpp"
#include "engine/context.hpp"
#include "engine/numeric.hpp"
#include "gif/picture.hpp"
#include "raster/output_canvas.hpp"
#include "raster/text.hpp"
#include "skin/palette_pictures.hpp"

#include <algorithm>
#include <cmath>

namespace zoetra::io {

using basic::size_maximum;
using basic::size_minimum;
using basic::size_one;

namespace {

template <class Setting> Setting& titled(Setting& setting, const char* title) {
    setting.desc().title = title;
    return setting;
}

constexpr double control_size[3] = {1, 1, 1};

} // namespace

std::array<matrix_ptr, 5> split_into_planes(const buffer& b) {
    const std::uint16_t sizes[3] = {b.width(), b.height(), 1};
    std::array<matrix_ptr, 5> planes;
    for (auto& plane : planes)
        plane = std::make_unique<matrix>(2, sizes, 1, uint8_type);
    std::uint8_t* red = planes[red_plane]->data();
    std::uint8_t* green = planes[green_plane]->data();
    std::uint8_t* blue = planes[blue_plane]->data();
    std::uint8_t* grey = planes[grey_plane]->data();
    std::uint8_t* alpha = planes[alpha_plane]->data();
    const pixel* source = b.pixels();
    const std::size_t count = std::size_t(b.width()) * b.height();
    for (std::size_t i = 0; i < count; ++i) {
        pixel p = source[i];
        unsigned r = (p >> 16) & 0xFFu;
        unsigned g = (p >> 8) & 0xFFu;
        unsigned bl = p & 0xFFu;
        alpha[i] = std::uint8_t(p >> 24);
        red[i] = std::uint8_t(r);
        green[i] = std::uint8_t(g);
        blue[i] = std::uint8_t(bl);
        grey[i] = std::uint8_t((11 * r + 16 * g + 5 * bl) >> 5);
    }
    return planes;
}

GIFIN::GIFIN()
    : component(kind_input, "GIFIN", 1.0), value_(add_number("VALUE", false, 0, 0, 255, 1)),
      size_(add_size("SIZE", size_one, size_minimum, size_maximum)),
      size_max_(add_size("SIZE.MAX", size_one, size_minimum, size_maximum)),
      size_maxpect_(add_size("SIZE.MAXPECT", size_one, size_minimum, size_maximum)),
      size_rotate_(add_size("SIZE.ROTATE", size_one, size_minimum, size_maximum)),
      size_effect_(add_size("SIZE.EFFECT", size_one, size_minimum, size_maximum)),
      type_(add_menu("TYPE", false, {"UINT8"})),
      control_value_(add_number("VALUE.CONTROL", false, 0, 0, 255, 1)),
      control_size_(add_size("SIZE.CONTROL", control_size, control_size, control_size)),
      control_type_(add_menu("TYPE.CONTROL", false, {"UINT8"})),
      text_(add_config<cfg_text>("TEXTIN", false, 1.0, std::vector<std::string>{sample_text})),
      palette_(add_config<cfg_image_in>("GIFIN", false, 1.0)),
      frames_(add_number("FRAMES", false, 0, 0, 255, 1)),
      transitions_(add_number("FRAME.TRANSITIONS", false, 0, 0, 255, 1)),
      mode_(add_menu("MODE", false, {"CENTER", "SCALE"})),
      mode_size_(add_menu("MODE.SIZE", true, {"SOURCE", "SMALL", "MEDIUM", "LARGE", "FULL"}, 2)),
      value_space_(add_number("VALUE.SPACE", false, 0, 0, 255, 1)),
      mode_input_(titled(add_menu("MODE.INPUT", false, {"GIF", "TEXT"}), "SELECT")),
      // Step 0: the scales are kept as they are, never rounded.
      scale_(add_number("SCALE", false, 1, 0, basic::scale_maximum, 0)),
      picture_scale_(add_number("SCALE.PICTURE", false, 1, 0, basic::scale_maximum, 0)) {
    const char* names[] = {"RED.OUT", "GREEN.OUT", "BLUE.OUT", "GREY.OUT", "ALPHA.OUT"};
    for (int i = 0; i < 5; ++i)
        planes_[i] = &add_port(port::direction::out, value_, size_, type_, names[i]);
    control_ = &add_port(port::direction::in, control_value_, control_size_, control_type_,
                         "CONTROL.GIFIN");
    memory_source_ = register_memory_source(1, [this] {
        if (kept_.planes[0] == nullptr)
            return false;
        kept_ = {};
        return true;
    });
}

GIFIN::~GIFIN() {
    unregister_memory_source(memory_source_);
}

gif_size GIFIN::text_size() const {
    const auto& text = text_.text_at(0);
    int width = measure_text(text, text_size::points_12).width + 1;
    return gif_size{static_cast<std::uint16_t>(std::min(width, 0xFFFF)), 19};
}

outcome GIFIN::preprepare() {
    kept_ = {}; // a file may have changed since the last run
    text_mode_ = mode_input_.selected_name() == "TEXT";
    gif_size text = text_mode_ ? text_size() : gif_size{};
    gif_size picture = palette_.selected_size();
    gif_size selected = text_mode_ ? text : picture;
    const output_canvas* target = canvas();
    rect work = target != nullptr ? target->work_area() : rect{};
    cfg_FP64& largest_config = size_max_;
    largest_config.set_maximum(0, work.width);
    largest_config.set_maximum(1, work.height);
    gif_size largest = text_mode_ ? text : palette_.largest_size();
    if (largest.width != 0 && largest.height != 0) {
        largest_config.set_value(0, largest.width);
        largest_config.set_value(1, largest.height);
    }

    cfg_FP64& rotate = size_rotate_;
    rotate.set_maximum(0, work.width);
    rotate.set_maximum(1, work.height);
    // An image that cannot be measured (the empty slot, an unreadable file)
    // leaves every size derived from it as it was.
    if (selected.width != 0 && selected.height != 0)
        publish_selected_size(selected);

    publish_effect_size(picture, work.width, work.height);

    publish_scales(target);

    image_count_ = palette_.count();
    frames_.set_value(0, image_count_);
    transitions_.set_value(0, image_count_ >= 2 ? image_count_ - 1 : 1);
    return component::preprepare();
}

void GIFIN::publish_selected_size(gif_size selected) {
    size_.set_value(0, selected.width);
    size_.set_value(1, selected.height);
    int m = std::max(selected.width, selected.height);
    size_maxpect_.set_value(0, m);
    size_maxpect_.set_value(1, m);
    double d = std::ceil(std::sqrt(double(selected.width) * selected.width +
                                   double(selected.height) * selected.height));
    size_rotate_.set_value(0, d);
    size_rotate_.set_value(1, d);
}

void GIFIN::publish_scales(const output_canvas* target) {
    // The planes hold the picture as the program fits it to the frame (at
    // its own size without a program). Text is measured, never fitted: it
    // has the same size in every frame.
    const palette_pictures* fitted = program() != nullptr ? &program()->pictures() : nullptr;
    const double grown =
        text_mode_ ? 1
                   : basic::picture_scale(palette_.own_size_at(palette_.selected()),
                                          fitted != nullptr ? fitted->frame() : gif_size{},
                                          fitted != nullptr && fitted->enlarges());
    const rect frame = target != nullptr ? target->output_area() : rect{};
    picture_scale_.set_value(0, grown);
    scale_.set_value(0, basic::mark_scale(basic::frame_scale(frame.width, frame.height), grown));
}

void GIFIN::publish_effect_size(gif_size picture, int work_width, int work_height) {
    cfg_FP64& effect = size_effect_;
    effect.set_maximum(0, work_width);
    effect.set_maximum(1, work_height);
    int mode = mode_size_.selected();
    if (mode <= 3) {
        int factor = 1 << mode;
        if (picture.width != 0 && picture.height != 0) {
            effect.set_value(0, double(picture.width) * factor);
            effect.set_value(1, double(picture.height) * factor);
            value_space_.set_value(0, factor);
        }
    } else if (work_width != 0 && work_height != 0) {
        effect.set_value(0, work_width);
        effect.set_value(1, work_height);
        value_space_.set_value(0, 8);
    }
}

int GIFIN::chosen_index() {
    port& control = *control_;
    // An effect file may give the control a matrix without elements.
    if (!control.connected() || control.get_matrix().element_count() == 0)
        return palette_.selected();
    double v = control.get_matrix().value_at(0);
    int lo = truncate_to_int(control.value_minimum());
    int hi = truncate_to_int(control.value_maximum());
    // A range without width gives no position: take the first image.
    if (hi == lo)
        return 0;
    int index = truncate_to_int(image_count_ * ((v - lo) / (double(hi) - lo) + 0.01));
    if (index >= image_count_)
        index = image_count_ - 1;
    return std::max(index, 0);
}

outcome GIFIN::fire() {
    bool connected = false;
    for (const port* plane : planes_)
        connected = connected || plane->connected();
    int index = chosen_index();
    // With an empty palette there is no image: nothing is drawn and the
    // planes are left empty (transparent black). An animated entry gives
    // the frame of the slot being made, a picture of its own name.
    std::string name = palette_.name_at(index);
    if (program() != nullptr)
        name = program()->pictures().name_in_slot(name, palette_.frames_at(index));
    if (!connected) {
        draw_into_output_area(name);
        return finish_fire();
    }
    return hand_on_planes(name);
}

gif_size GIFIN::probe(const std::string& name) const {
    return program() != nullptr ? program()->pictures().size_of(name) : probe_picture_size(name);
}

void GIFIN::draw_into_output_area(const std::string& name) {
    output_canvas* target = canvas();
    if (target == nullptr || program() == nullptr || name.empty())
        return;
    buffer& image = target->image();
    gif_size size = probe(name);
    int w = std::min<int>(size.width, image.width());
    int h = std::min<int>(size.height, image.height());
    buffer_lock lock(image);
    program()->pictures().draw(image, name, image.width() / 2 - w / 2, image.height() / 2 - h / 2,
                               w, h, 1);
}

namespace {
// Whether copies of the planes fit in memory that is free anyway: the kept
// planes never make anything else go to disk or out of memory.
bool fits_in_free_memory(const std::array<matrix_ptr, 5>& planes) {
    std::size_t bytes = 0;
    for (const matrix_ptr& plane : planes)
        bytes += plane->byte_size();
    return heap_bytes_in_use() <= heap_budget() && bytes <= heap_budget() - heap_bytes_in_use();
}
} // namespace

outcome GIFIN::hand_on_planes(const std::string& name) {
    const int width = truncate_to_u16(size_.value(0));
    const int height = truncate_to_u16(size_.value(1));
    std::array<matrix_ptr, 5> planes;
    // Taken out of the memory handler's reach while it is copied.
    kept_planes kept = std::move(kept_);
    kept_ = {};
    if (kept.planes[0] != nullptr && kept.name == name && kept.width == width &&
        kept.height == height && fits_in_free_memory(kept.planes)) {
        for (std::size_t i = 0; i < planes.size(); ++i)
            planes[i] = kept.planes[i]->clone();
        kept_ = std::move(kept);
    } else {
        kept = {};
        planes = draw_planes(name, width, height);
        keep_copies(name, width, height, planes);
    }
    // The hold results are not consulted: an output takes every matrix.
    for (int i = 0; i < 5; ++i)
        static_cast<void>(planes_[i]->hold(planes[i]));
    return finish_fire();
}

std::array<matrix_ptr, 5> GIFIN::draw_planes(const std::string& name, int width, int height) const {
    buffer picture(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height),
                   colour{1, 0, 0, 0});
    if (!name.empty() && program() != nullptr) {
        gif_size size = probe(name);
        int w = std::min<int>(size.width, width);
        int h = std::min<int>(size.height, height);
        program()->pictures().draw(picture, name, width / 2 - w / 2, height / 2 - h / 2, w, h, 0);
    }
    buffer_lock lock(picture);
    return split_into_planes(picture);
}

void GIFIN::keep_copies(const std::string& name, int width, int height,
                        const std::array<matrix_ptr, 5>& planes) {
    if (!fits_in_free_memory(planes))
        return;
    kept_planes kept{name, width, height, {}};
    for (std::size_t i = 0; i < planes.size(); ++i)
        kept.planes[i] = planes[i]->clone();
    kept_ = std::move(kept);
}

TEXT::TEXT() : component(kind_output, "TEXT", 1.0) {
    cfg_FP64& value = add_number("VALUE", false, 0, 0, 255, 1);
    cfg_FP64& size = add_size("SIZE", size_one, size_minimum, size_maximum);
    cfg_menu& type = add_menu("TYPE", false, basic::element_types, basic::select_uint8);
    in_ = &add_port(port::direction::in, value, size, type, "IN");
}

outcome TEXT::fire() {
    diagnostics_sink().out(in_->get_matrix().dump_text(1) + "\n");
    return finish_fire();
}

GIFOUT::GIFOUT()
    : component(kind_output, "GIFOUT", 1.0), value_(add_number("VALUE", false, 0, 0, 255, 1)),
      size_(add_size("SIZE", size_one, size_minimum, size_maximum)),
      type_(add_menu("TYPE8", false, {"UINT8"})),
      file_(add_config<cfg_image_out>("GIFOUT", false, 1.0, "my.gif")),
      delay_(titled(add_number("DELAY", true, 0.5, 0, 60, 0.01), "FRAME DELAY(0=none)")),
      frames_(titled(add_number("FRAMES", true, 10, 1, 65535, 1), "FRAME #")),
      loop_(titled(add_number("LOOP", true, 0, 0, 65535, 1), "LOOP TIMES(0=forever)")) {}

} // namespace zoetra::io
