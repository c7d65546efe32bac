#pragma once
// What a program keeps for all its work, in one object that the program
// creates (the studio in the window, the renderer's studio, each test its
// own) and that the components of a running network reach through their run
// context: the pseudo-random generator, the phase that every wave shares,
// where diagnostic output goes, the data folder with its archives, the skin
// image cache, and the palette's pictures fitted to the frame. Two contexts share nothing, so two
// studios in one process work apart.
#include "base/diagnostics.hpp"
#include "base/random.hpp"
#include "resources/resource.hpp"

#include <filesystem>
#include <memory>

namespace zoetra {

class skin_cache;
class palette_pictures;

class context {
  public:
    // A context working in the data folder, writing diagnostics to sink.
    explicit context(std::filesystem::path data_folder = ".",
                     diagnostics& sink = standard_streams());
    ~context();
    context(const context&) = delete;
    context& operator=(const context&) = delete;

    random_generator& random() { return random_; }
    // The phase every wave generator adds its own to. It only ever grows:
    // it is never reset, not even between effects.
    double& wave_phase() { return wave_phase_; }
    diagnostics& diagnostics_sink() { return *diagnostics_; }
    void set_diagnostics(diagnostics& sink) { diagnostics_ = &sink; }
    const resource_folder& resources() const { return resources_; }
    skin_cache& skins() { return *skins_; }
    palette_pictures& pictures() { return *pictures_; }
    const palette_pictures& pictures() const { return *pictures_; }

  private:
    random_generator random_;
    double wave_phase_ = 0;
    diagnostics* diagnostics_;
    resource_folder resources_;
    std::unique_ptr<skin_cache> skins_;
    std::unique_ptr<palette_pictures> pictures_;
};

} // namespace zoetra
