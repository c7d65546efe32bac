#include "engine/description.hpp"

#include <cstdio>

namespace zoetra {

void description::dump() const {
    std::printf("title:%s\n", title.c_str());
    std::printf("name:%s\n", name.c_str());
    std::printf("type:%s\n", type.c_str());
    std::printf("class:%s\n", class_name.c_str());
    std::printf("id:%s\n", id.c_str());
    std::printf("description:%s\n", text.c_str());
    std::printf("image_file_name:%s\n", image_file.c_str());
    // The colour prints its second, third and fourth bytes, then its first.
    std::printf("color:(%d,%d,%d,%d)\n", int((color >> 8) & 0xFF), int((color >> 16) & 0xFF),
                int((color >> 24) & 0xFF), int(color & 0xFF));
    std::printf("version:%.4f\n", version);
}

} // namespace zoetra
