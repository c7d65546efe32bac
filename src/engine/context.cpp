#include "engine/context.hpp"

#include "skin/palette_pictures.hpp"
#include "skin/skin_images.hpp"

namespace zoetra {

context::context(std::filesystem::path data_folder, diagnostics& sink)
    : diagnostics_(&sink), resources_(std::move(data_folder)),
      skins_(std::make_unique<skin_cache>(resources_)),
      pictures_(std::make_unique<palette_pictures>(*skins_)) {}

context::~context() = default;

} // namespace zoetra
