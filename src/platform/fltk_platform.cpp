#include "platform/fltk_platform.hpp"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>

#include <filesystem>

namespace zoetra {
namespace {

// Counts a running dialog for as long as it lives.
class dialog_scope {
  public:
    explicit dialog_scope(int& count) : count_(count) { ++count_; }
    ~dialog_scope() { --count_; }
    dialog_scope(const dialog_scope&) = delete;
    dialog_scope& operator=(const dialog_scope&) = delete;

  private:
    int& count_;
};

// Without an extension a typed name gets ".gif".
std::string with_gif_extension(const std::string& path) {
    const std::filesystem::path p(path);
    return p.has_extension() ? path : path + ".gif";
}

} // namespace

void fltk_platform::message_box(const std::string& caption, const std::string& text, icon kind) {
    dialog_scope scope(dialogs_);
    fl_message_title(caption.c_str());
    if (kind == icon::exclamation)
        fl_alert("%s", text.c_str());
    else
        fl_message("%s", text.c_str());
}

std::optional<std::string> fltk_platform::choose_file_to_open(const std::string& title,
                                                              const std::string& pattern,
                                                              const std::string& folder) {
    dialog_scope scope(dialogs_);
    Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_FILE);
    chooser.title(title.c_str());
    const std::string filter = "Images\t" + pattern;
    chooser.filter(filter.c_str());
    chooser.directory(folder.c_str());
    if (chooser.show() != 0 || chooser.filename() == nullptr)
        return std::nullopt;
    std::error_code ignored;
    const std::string chosen = chooser.filename();
    if (!std::filesystem::is_regular_file(chosen, ignored))
        return std::nullopt; // the open dialog takes existing files only
    return chosen;
}

std::optional<std::string> fltk_platform::choose_file_to_save(const std::string& title,
                                                              const std::string& default_name,
                                                              const std::string& folder) {
    dialog_scope scope(dialogs_);
    Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_SAVE_FILE);
    chooser.title(title.c_str());
    chooser.filter("GIF images\t*.gif");
    chooser.directory(folder.c_str());
    chooser.preset_file(default_name.c_str());
    chooser.options(Fl_Native_File_Chooser::SAVEAS_CONFIRM | Fl_Native_File_Chooser::NEW_FOLDER);
    if (chooser.show() != 0 || chooser.filename() == nullptr)
        return std::nullopt;
    const std::string chosen = with_gif_extension(chooser.filename());
    // The chooser asked about the name as typed; a name that only now became
    // an existing file is asked about here.
    std::error_code ignored;
    if (chosen != chooser.filename() && std::filesystem::exists(chosen, ignored) &&
        !confirm("Save", "\"" + chosen + "\" exists already. Replace it?"))
        return std::nullopt;
    return chosen;
}

bool fltk_platform::confirm(const std::string& caption, const std::string& question) {
    dialog_scope scope(dialogs_);
    fl_message_title(caption.c_str());
    return fl_choice("%s", "No", "Yes", nullptr, question.c_str()) == 1;
}

int fltk_platform::choose(const std::string& caption, const std::string& question,
                          const std::string& first, const std::string& second) {
    dialog_scope scope(dialogs_);
    fl_message_title(caption.c_str());
    // Buttons go right to left; closing the dialog answers the first.
    return fl_choice("%s", first.c_str(), second.c_str(), nullptr, question.c_str()) == 1 ? 1 : 0;
}

void fltk_platform::show_text(const std::string& title, const std::string& text) {
    dialog_scope scope(dialogs_);
    // A short text (the About box) gets a small dialog; the licence a tall one.
    const bool short_text = text.size() < 400;
    const int w = (short_text ? 420 : 560) * scale_, h = (short_text ? 170 : 460) * scale_;
    const int margin = 10 * scale_;
    Fl_Window dialog(w, h, nullptr);
    dialog.copy_label(title.c_str());
    Fl_Text_Buffer content;
    content.text(text.c_str());
    Fl_Text_Display display(margin, margin, w - 2 * margin, h - 3 * margin - 25 * scale_);
    display.buffer(&content);
    display.wrap_mode(Fl_Text_Display::WRAP_AT_BOUNDS, 0);
    display.textsize(FL_NORMAL_SIZE * scale_);
    Fl_Button close(w - margin - 80 * scale_, h - margin - 25 * scale_, 80 * scale_, 25 * scale_,
                    "Close");
    close.labelsize(FL_NORMAL_SIZE * scale_);
    close.callback([](Fl_Widget* button, void*) { button->window()->hide(); });
    dialog.end();
    dialog.set_modal();
    dialog.show();
    while (dialog.shown())
        Fl::wait();
    display.buffer(nullptr);
}

} // namespace zoetra
