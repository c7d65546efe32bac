#include "platform/main_window.hpp"

#include "platform/fltk_platform.hpp"

#include <FL/Fl.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zoetra {
namespace {

double now_seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Idle work runs in slices this long before the screen is brought up to date.
constexpr double slice_seconds = 0.008;
// With nothing to do, the window still looks at the mouse this often.
constexpr double hover_seconds = 0.5;

// A menu text for FLTK's paths: "&&" is a plain "&", "\/" a plain "/", and
// the accelerator text after a tab goes (FLTK shows the key itself).
std::string menu_path_part(const std::string& text, bool keep_mnemonic) {
    std::string out;
    for (char ch : text.substr(0, text.find('\t'))) {
        if (ch == '&' && keep_mnemonic)
            out += '&';
        else if (ch == '&')
            out += "&&";
        else if (ch == '/' || ch == '\\' || ch == '_')
            out += std::string("\\") + ch;
        else
            out += ch;
    }
    return out;
}

int shortcut_of(const accelerator& keys) {
    switch (keys.kind) {
    case accelerator::key::insert:
        return FL_Insert;
    case accelerator::key::letter:
        return FL_CTRL + keys.letter;
    case accelerator::key::none:
        break;
    }
    return 0;
}

// The X visual takes our pixel words as they are: 32 bits, red in bits 16-23,
// green in 8-15, blue in 0-7 (the top byte is not shown).
bool visual_matches_pixels() {
    if (fl_visual == nullptr || fl_visual->depth < 24)
        return false;
    const Visual* v = fl_visual->visual;
    if (v->red_mask != 0xFF0000 || v->green_mask != 0xFF00 || v->blue_mask != 0xFF)
        return false;
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(fl_display, &count);
    bool thirty_two = false;
    for (int i = 0; i < count; ++i)
        if (formats[i].depth == fl_visual->depth && formats[i].bits_per_pixel == 32)
            thirty_two = true;
    XFree(formats);
    return thirty_two && ImageByteOrder(fl_display) == LSBFirst;
}

} // namespace

main_window::main_window(application& app, fltk_platform& platform, int scale, double started)
    : Fl_Window(app.frame().width() * scale, app.frame().height() * scale + 25 * scale,
                application::title),
      app_(app), platform_(platform), scale_(scale), menu_height_(25 * scale),
      menu_(0, 0, app.frame().width() * scale, 25 * scale),
      trace_(std::getenv("ZOETRA_TRACE") != nullptr && *std::getenv("ZOETRA_TRACE") != 0),
      started_(started) {
    menu_.textsize(FL_NORMAL_SIZE * scale);
    end();
    xclass("zoetra");
    size_range(w(), h(), w(), h());
    callback(on_close);
    app_.on_status_drawn = [this] { show_damage_now(); };
    app_.on_exit = [this] { hide(); };
    sync_menus();
}

main_window::~main_window() {
    Fl::remove_timeout(on_timer, this);
    Fl::remove_idle(on_timer, this);
    app_.on_status_drawn = nullptr;
    app_.on_exit = nullptr;
}

// ---- menus ------------------------------------------------------------------

void main_window::sync_menus() {
    menu_bar wanted = app_.menus();
    if (wanted == shown_menus_)
        return;
    menu_.clear();
    for (const menu_item& top : wanted.menus) {
        const std::string top_path = menu_path_part(top.text, true) + "/";
        auto add_item = [&](const std::string& path, const menu_item& item) {
            int flags = item.enabled ? 0 : FL_MENU_INACTIVE;
            if (item.checkable)
                flags |= FL_MENU_TOGGLE | (item.checked ? FL_MENU_VALUE : 0);
            menu_.add(path.c_str(), shortcut_of(item.keys), on_menu,
                      reinterpret_cast<void*>(static_cast<std::intptr_t>(item.id)), flags);
        };
        for (const menu_item& item : top.items) {
            if (item.items.empty()) {
                add_item(top_path + menu_path_part(item.text, true), item);
                continue;
            }
            for (const menu_item& sub : item.items)
                add_item(top_path + menu_path_part(item.text, false) + "/" +
                             menu_path_part(sub.text, false),
                         sub);
        }
    }
    shown_menus_ = std::move(wanted);
    menu_.redraw();
}

void main_window::on_menu(Fl_Widget* menu, void* id) {
    auto* self = static_cast<main_window*>(menu->window());
    self->app_.menu_command(static_cast<int>(reinterpret_cast<std::intptr_t>(id)));
    self->wake();
}

void main_window::on_close(Fl_Widget* window, void*) {
    // Escape does not close the window; the close button and Exit do.
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape)
        return;
    auto* self = static_cast<main_window*>(window);
    if (self->app_.may_exit())
        self->hide();
}

// ---- the picture ----------------------------------------------------------------

void main_window::push_damage() {
    for (const rect& r : app_.frame().take_damage())
        damage(FL_DAMAGE_USER1, r.x * scale_, menu_height_ + r.y * scale_, r.width * scale_,
               r.height * scale_);
}

void main_window::show_damage_now() {
    if (!shown() || !drawn_once_)
        return;
    push_damage();
    Fl::flush();
}

void main_window::draw() {
    if ((damage() & ~FL_DAMAGE_USER1) != 0) {
        app_.frame().take_damage();
        Fl_Window::draw(); // the menu bar too
        blit(0, menu_height_, w(), h() - menu_height_);
    } else {
        int x, y, width, height;
        fl_clip_box(0, menu_height_, w(), h() - menu_height_, x, y, width, height);
        blit(x, y, width, height);
    }
    if (!drawn_once_) {
        drawn_once_ = true;
        if (trace_)
            std::fprintf(stderr, "zoetra: first window drawn %.0f ms after the start\n",
                         (now_seconds() - started_) * 1000);
    }
}

// Copies window area (x, y, w, h), below the menu bar, from the frame image.
void main_window::blit(int x, int y, int width, int height) {
    buffer& image = app_.frame().image();
    const int left = std::max(0, x / scale_), top = std::max(0, (y - menu_height_) / scale_);
    const int right = std::min<int>(image.width(), (x + width + scale_ - 1) / scale_);
    const int bottom =
        std::min<int>(image.height(), (y - menu_height_ + height + scale_ - 1) / scale_);
    if (right <= left || bottom <= top)
        return;
    buffer_lock lock(image);
    const int w = right - left, h = bottom - top;
    const pixel* pixels = image.pixels();
    const int stride = image.width();
    const pixel* from = pixels + std::size_t(top) * stride + left;
    int rows_stride = stride;
    if (scale_ != 1) {
        scaled_.resize(std::size_t(w * scale_) * h * scale_);
        for (int row = 0; row < h * scale_; ++row)
            for (int column = 0; column < w * scale_; ++column)
                scaled_[std::size_t(row) * w * scale_ + column] =
                    from[std::size_t(row / scale_) * stride + column / scale_];
        from = scaled_.data();
        rows_stride = w * scale_;
    }
    const int out_w = w * scale_, out_h = h * scale_;
    const int out_x = left * scale_, out_y = menu_height_ + top * scale_;
    static const bool direct = visual_matches_pixels();
    if (direct) {
        XImage* picture = XCreateImage(fl_display, fl_visual->visual, fl_visual->depth, ZPixmap, 0,
                                       reinterpret_cast<char*>(const_cast<pixel*>(from)), out_w,
                                       out_h, 32, rows_stride * 4);
        if (picture != nullptr) {
            XPutImage(fl_display, fl_window, fl_gc, picture, 0, 0, out_x, out_y, out_w, out_h);
            picture->data = nullptr; // the pixels are ours
            XDestroyImage(picture);
            return;
        }
    }
    // Any other visual: the pixels as RGB, drawn by FLTK.
    std::vector<unsigned char> rgb(std::size_t(out_w) * out_h * 3);
    for (int row = 0; row < out_h; ++row)
        for (int column = 0; column < out_w; ++column) {
            const pixel p = from[std::size_t(row) * rows_stride + column];
            unsigned char* to = &rgb[(std::size_t(row) * out_w + column) * 3];
            to[0] = (p >> 16) & 0xFF;
            to[1] = (p >> 8) & 0xFF;
            to[2] = p & 0xFF;
        }
    fl_draw_image(rgb.data(), out_x, out_y, out_w, out_h, 3);
}

bool main_window::write_snapshot(const std::string& path) {
    buffer& image = app_.frame().image();
    buffer_lock lock(image);
    const std::string partial = path + ".part";
    std::FILE* out = std::fopen(partial.c_str(), "wb");
    if (out == nullptr)
        return false;
    std::fprintf(out, "P6\n%d %d\n255\n", image.width(), image.height());
    for (std::size_t i = 0; i < std::size_t(image.width()) * image.height(); ++i) {
        const pixel p = image.pixels()[i];
        const unsigned char rgb[3] = {(unsigned char)(p >> 16), (unsigned char)(p >> 8),
                                      (unsigned char)p};
        std::fwrite(rgb, 1, 3, out);
    }
    const bool ok = std::fclose(out) == 0;
    return ok && std::rename(partial.c_str(), path.c_str()) == 0;
}

// ---- idle work ------------------------------------------------------------------

bool main_window::idle_work_may_run() const {
    // FLTK runs timers inside modal dialogs and open menus too.
    return !ticking_ && !platform_.in_dialog() && Fl::modal() == nullptr && Fl::grab() == nullptr;
}

void main_window::schedule(double delay) {
    Fl::remove_timeout(on_timer, this);
    Fl::remove_idle(on_timer, this);
    // Work waiting now runs as soon as no events wait; later work on a timer.
    if (delay <= 0)
        Fl::add_idle(on_timer, this);
    else
        Fl::add_timeout(delay, on_timer, this);
}

void main_window::on_timer(void* self) {
    static_cast<main_window*>(self)->wake();
}

void main_window::wake() {
    if (!idle_work_may_run()) {
        schedule(0.05);
        return;
    }
    ticking_ = true;
    const double start = now_seconds();
    // Frame construction's time, for ZOETRA_TRACE.
    if (app_.mode() == application::mode_creating && creating_since_ < 0)
        creating_since_ = start;
    wake_request next;
    do
        next = app_.tick(now_seconds());
    while (next.busy && now_seconds() - start < slice_seconds);
    ticking_ = false;
    if (creating_since_ >= 0 && app_.mode() != application::mode_creating) {
        if (trace_ && app_.production().has_frames())
            std::fprintf(stderr, "zoetra: created %d frames in %.0f ms\n",
                         app_.production().stored_frames(),
                         (now_seconds() - creating_since_) * 1000);
        creating_since_ = -1;
    }
    push_damage();
    sync_menus();
    if (next.busy)
        schedule(0);
    else if (next.at)
        schedule(std::min(hover_seconds, *next.at - now_seconds() + 0.001));
    else
        schedule(hover_seconds);
}

// ---- input --------------------------------------------------------------------

input_event main_window::mouse_event(input_event::kind kind) const {
    // Positions outside the window (a held button dragged away) are kept to it.
    const int x = std::clamp(Fl::event_x() / scale_, 0, app_.frame().width() - 1);
    const int y = std::clamp((Fl::event_y() - menu_height_) / scale_, 0, app_.frame().height() - 1);
    input_event e = input_event::mouse(kind, x, y, Fl::event_button());
    return e;
}

bool main_window::key_event() {
    const int key = Fl::event_key();
    const bool shift = Fl::event_state(FL_SHIFT) != 0;
    const bool control = Fl::event_state(FL_CTRL) != 0;
    // Menu accelerators go to the menu bar.
    if (menu_.menu() != nullptr && menu_.menu()->test_shortcut() != nullptr)
        return false;
    input_event e;
    switch (key) {
    case FL_Left:
        e = input_event::named_key(key_name::left);
        break;
    case FL_Right:
        e = input_event::named_key(key_name::right);
        break;
    case FL_Up:
        e = input_event::named_key(key_name::up);
        break;
    case FL_Down:
        e = input_event::named_key(key_name::down);
        break;
    case FL_Insert:
        e = input_event::named_key(key_name::insert);
        break;
    case FL_Delete:
        e = input_event::named_key(key_name::delete_key);
        break;
    case FL_Tab:
        e = input_event::named_key(key_name::tab, shift);
        break;
    case FL_BackSpace:
        e = input_event::named_key(key_name::backspace);
        break;
    case FL_Enter:
    case FL_KP_Enter:
        e = input_event::named_key(key_name::enter);
        break;
    case FL_Escape:
        return true; // no key, and the window stays
    default:
        if (control && key >= 'a' && key <= 'z')
            e = input_event::typed(std::string(1, char(key)), true);
        else if (Fl::event_length() > 0)
            e = input_event::typed(std::string(Fl::event_text(), std::size_t(Fl::event_length())));
        else
            return true; // a lone Shift or Control
    }
    app_.handle(e);
    return true;
}

void main_window::drop_files(const char* text) {
    app_.insert_files(dropped_paths(text != nullptr ? text : ""));
}

int main_window::handle(int event) {
    switch (event) {
    case FL_PUSH:
        if (Fl::event_y() < menu_height_)
            return Fl_Window::handle(event);
        app_.handle(mouse_event(input_event::kind::mouse_down));
        break;
    case FL_DRAG:
    case FL_MOVE:
        if (Fl::event_y() < menu_height_ && event == FL_MOVE)
            return Fl_Window::handle(event);
        app_.handle(mouse_event(input_event::kind::mouse_move));
        break;
    case FL_RELEASE:
        app_.handle(mouse_event(input_event::kind::mouse_up));
        break;
    case FL_KEYBOARD:
        if (!key_event())
            return Fl_Window::handle(event);
        break;
    case FL_SHORTCUT:
        if (Fl::event_key() == FL_Escape)
            return 1;
        return Fl_Window::handle(event);
    case FL_FOCUS:
    case FL_UNFOCUS:
    case FL_ENTER:
    case FL_LEAVE:
    case FL_DND_ENTER:
    case FL_DND_DRAG:
    case FL_DND_LEAVE:
    case FL_DND_RELEASE:
        Fl_Window::handle(event);
        return 1;
    case FL_PASTE:
        drop_files(Fl::event_text());
        break;
    default:
        return Fl_Window::handle(event);
    }
    wake();
    return 1;
}

} // namespace zoetra
