#include "ui/editors.hpp"

#include "engine/text_settings.hpp"
#include "ui/number_editor.hpp"
#include "ui/palette_editor.hpp"
#include "ui/setting_editors.hpp"

namespace zoetra {

void attach_editor(config& setting) {
    if (setting.view() != nullptr)
        return;
    if (auto* number = dynamic_cast<cfg_FP64*>(setting.as_kind(cfg_FP64::kind)))
        setting.attach_view(std::make_unique<number_editor>(*number));
    else if (auto* menu = dynamic_cast<cfg_menu*>(setting.as_kind(cfg_menu::kind)))
        setting.attach_view(std::make_unique<menu_editor>(*menu));
    else if (auto* text = dynamic_cast<cfg_text*>(setting.as_kind(cfg_text::kind)))
        setting.attach_view(std::make_unique<text_editor>(*text));
    else if (auto* output = dynamic_cast<cfg_image_out*>(setting.as_kind(cfg_image_out::kind)))
        setting.attach_view(std::make_unique<output_file_editor>(*output));
    else if (auto* palette = dynamic_cast<cfg_image_in*>(setting.as_kind(cfg_image_in::kind)))
        setting.attach_view(std::make_unique<palette_editor>(*palette));
}

} // namespace zoetra
