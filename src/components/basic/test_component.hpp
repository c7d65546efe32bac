#pragma once
#include "engine/component.hpp"

#include <array>

namespace zoetra::basic {

// Exercises the engine's failure paths: mode 0 exports fill-value matrices,
// 1 fails preprepare, 2 fails prepare, 3 fails fire, 4 fires without exporting.
class test_component : public component {
  public:
    enum mode { good = 0, fail_preprepare, fail_prepare, fail_fire, doesnt_export };
    explicit test_component(mode m);
    outcome preprepare() override;
    outcome prepare() override;
    outcome fire() override;

  private:
    mode mode_;
    std::array<port*, 2> outputs_{};
};

} // namespace zoetra::basic
