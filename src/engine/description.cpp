#include "engine/description.hpp"

#include "base/utility.hpp"

namespace zoetra {

std::string description::dump_text() const {
    std::string text;
    text += format("title:%s\n", title.c_str());
    text += format("name:%s\n", name.c_str());
    text += format("type:%s\n", type.c_str());
    text += format("class:%s\n", class_name.c_str());
    text += format("id:%s\n", id.c_str());
    text += format("description:%s\n", this->text.c_str());
    text += format("image_file_name:%s\n", image_file.c_str());
    // The colour prints its second, third and fourth bytes, then its first.
    text += format("color:(%d,%d,%d,%d)\n", int((color >> 8) & 0xFF), int((color >> 16) & 0xFF),
                   int((color >> 24) & 0xFF), int(color & 0xFF));
    text += format("version:%.4f\n", version);
    return text;
}

} // namespace zoetra
