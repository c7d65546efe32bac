#include "components/io/image_source.hpp"

#include "components/basic/common.hpp"
#include "engine/numeric.hpp"
#include "gif/picture.hpp"
#include "raster/frame_image.hpp"
#include "raster/text.hpp"
#include "skin/skin_images.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zoetra::io {

using basic::size_maximum;
using basic::size_minimum;
using basic::size_one;

GIFIN::GIFIN()
    : component(kind_input, "GIFIN", 1.0), palette_([this]() -> cfg_image_in& {
          add_number("VALUE", false, 0, 0, 255, 1);
          for (const char* name :
               {"SIZE", "SIZE.MAX", "SIZE.MAXPECT", "SIZE.ROTATE", "SIZE.EFFECT"})
              add_size(name, size_one, size_minimum, size_maximum);
          add_menu("TYPE", false, {"UINT8"});
          add_number("VALUE.CONTROL", false, 0, 0, 255, 1);
          static constexpr double one[3] = {1, 1, 1};
          add_size("SIZE.CONTROL", one, one, one);
          add_menu("TYPE.CONTROL", false, {"UINT8"});
          add_config<cfg_text>("TEXTIN", false, 1.0, std::vector<std::string>{sample_text});
          return add_config<cfg_image_in>("GIFIN", false, 1.0);
      }()) {
    add_number("FRAMES", false, 0, 0, 255, 1);
    add_number("FRAME.TRANSITIONS", false, 0, 0, 255, 1);
    add_menu("MODE", false, {"CENTER", "SCALE"});
    add_menu("MODE.SIZE", true, {"SOURCE", "SMALL", "MEDIUM", "LARGE", "FULL"}, 2);
    add_number("VALUE.SPACE", false, 0, 0, 255, 1);
    add_menu("MODE.INPUT", false, {"GIF", "TEXT"}).desc().title = "SELECT";
    for (const char* name : {"RED.OUT", "GREEN.OUT", "BLUE.OUT", "GREY.OUT", "ALPHA.OUT"})
        add_port(port::direction::out, "VALUE", "SIZE", "TYPE", name);
    add_port(port::direction::in, "VALUE.CONTROL", "SIZE.CONTROL", "TYPE.CONTROL", "CONTROL.GIFIN");
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
    const auto& text = dynamic_cast<const cfg_text&>(find_config("TEXTIN")).text_at(0);
    int width = measure_text(text, text_size::points_12).width + 1;
    return gif_size{static_cast<std::uint16_t>(std::min(width, 0xFFFF)), 19};
}

bool GIFIN::preprepare(std::string& error) {
    kept_ = {}; // a file may have changed since the last run
    text_mode_ = menu("MODE.input").selected_name() == "TEXT";
    gif_size text = text_mode_ ? text_size() : gif_size{};
    gif_size picture = palette_.selected_size();
    gif_size selected = text_mode_ ? text : picture;
    const frame_image* image = frame();
    rect work = image != nullptr ? image->work_area() : rect{};
    cfg_FP64& largest_config = number("SIZE.MAX");
    largest_config.set_maximum(0, work.width);
    largest_config.set_maximum(1, work.height);
    gif_size largest = text_mode_ ? text : palette_.largest_size();
    if (largest.width != 0 && largest.height != 0) {
        largest_config.set_value(0, largest.width);
        largest_config.set_value(1, largest.height);
    }

    cfg_FP64& rotate = number("SIZE.ROTATE");
    rotate.set_maximum(0, work.width);
    rotate.set_maximum(1, work.height);
    // An image that cannot be measured (the empty slot, an unreadable file)
    // leaves every size derived from it as it was.
    if (selected.width != 0 && selected.height != 0)
        publish_selected_size(selected);

    publish_effect_size(picture, work.width, work.height);

    image_count_ = palette_.count();
    number("FRAMES").set_value(0, image_count_);
    number("FRAME.TRANSITIONS").set_value(0, image_count_ >= 2 ? image_count_ - 1 : 1);
    return component::preprepare(error);
}

void GIFIN::publish_selected_size(gif_size selected) {
    number("SIZE").set_value(0, selected.width);
    number("SIZE").set_value(1, selected.height);
    int m = std::max(selected.width, selected.height);
    number("SIZE.MAXPECT").set_value(0, m);
    number("SIZE.MAXPECT").set_value(1, m);
    double d = std::ceil(std::sqrt(double(selected.width) * selected.width +
                                   double(selected.height) * selected.height));
    number("SIZE.ROTATE").set_value(0, d);
    number("SIZE.ROTATE").set_value(1, d);
}

void GIFIN::publish_effect_size(gif_size picture, int work_width, int work_height) {
    cfg_FP64& effect = number("SIZE.EFFECT");
    effect.set_maximum(0, work_width);
    effect.set_maximum(1, work_height);
    int mode = menu("MODE.size").selected();
    if (mode <= 3) {
        int factor = 1 << mode;
        if (picture.width != 0 && picture.height != 0) {
            effect.set_value(0, double(picture.width) * factor);
            effect.set_value(1, double(picture.height) * factor);
            number("VALUE.SPACE").set_value(0, factor);
        }
    } else if (work_width != 0 && work_height != 0) {
        effect.set_value(0, work_width);
        effect.set_value(1, work_height);
        number("VALUE.SPACE").set_value(0, 8);
    }
}

int GIFIN::chosen_index() {
    port& control = find_port("CONTROL.gifin");
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

bool GIFIN::fire(std::string& error) {
    bool connected = false;
    for (const char* name : {"RED.OUT", "GREEN.OUT", "BLUE.OUT", "GREY.OUT", "ALPHA.OUT"})
        connected = connected || find_port(name).connected();
    int index = chosen_index();
    // With an empty palette there is no image: nothing is drawn and the
    // planes are left empty (transparent black).
    const std::string& name = palette_.name_at(index);
    if (!connected) {
        draw_into_output_area(name);
        return finish_fire(error, true);
    }
    return hand_on_planes(name, error);
}

void GIFIN::draw_into_output_area(const std::string& name) {
    frame_image* target = frame();
    if (target == nullptr || name.empty())
        return;
    rect area = target->output_area();
    gif_size size = probe_picture_size(name);
    int w = std::min<int>(size.width, area.width);
    int h = std::min<int>(size.height, area.height);
    buffer_lock lock(target->image());
    draw_skin_image(target->image(), name, area.x + area.width / 2 - w / 2,
                    area.y + area.height / 2 - h / 2, w, h, 1);
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

bool GIFIN::hand_on_planes(const std::string& name, std::string& error) {
    const int width = truncate_to_u16(number("SIZE").value(0));
    const int height = truncate_to_u16(number("SIZE").value(1));
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
    const char* names[] = {"RED.OUT", "GREEN.OUT", "BLUE.OUT", "GREY.OUT", "ALPHA.OUT"};
    for (int i = 0; i < 5; ++i)
        find_port(names[i]).hold(planes[i], error);
    return finish_fire(error, true);
}

std::array<matrix_ptr, 5> GIFIN::draw_planes(const std::string& name, int width, int height) const {
    buffer picture(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height),
                   colour{1, 0, 0, 0});
    if (!name.empty()) {
        gif_size size = probe_picture_size(name);
        int w = std::min<int>(size.width, width);
        int h = std::min<int>(size.height, height);
        draw_skin_image(picture, name, width / 2 - w / 2, height / 2 - h / 2, w, h, 0);
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
    add_number("VALUE", false, 0, 0, 255, 1);
    add_size("SIZE", size_one, size_minimum, size_maximum);
    add_menu("TYPE", false, basic::element_types, basic::select_uint8);
    add_port(port::direction::in, "VALUE", "SIZE", "TYPE", "IN");
}

bool TEXT::fire(std::string& error) {
    find_port("IN").get_matrix().dump(1);
    std::printf("\n");
    return finish_fire(error, true);
}

GIFOUT::GIFOUT() : component(kind_output, "GIFOUT", 1.0) {
    add_number("VALUE", false, 0, 0, 255, 1);
    add_size("SIZE", size_one, size_minimum, size_maximum);
    add_menu("TYPE8", false, {"UINT8"});
    add_config<cfg_image_out>("GIFOUT", false, 1.0, "my.gif");
    add_number("DELAY", true, 0.5, 0, 60, 0.01).desc().title = "FRAME DELAY(0=none)";
    add_number("FRAMES", true, 10, 1, 65535, 1).desc().title = "FRAME #";
    add_number("LOOP", true, 0, 0, 65535, 1).desc().title = "LOOP TIMES(0=forever)";
}

} // namespace zoetra::io
