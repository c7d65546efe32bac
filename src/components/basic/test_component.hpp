#pragma once
#include "engine/component.hpp"

namespace zoetra::basic {

// Exercises the engine's failure paths: mode 0 exports fill-value matrices,
// 1 fails preprepare, 2 fails prepare, 3 fails fire, 4 fires without exporting.
class test_component : public component {
  public:
    enum mode { good = 0, fail_preprepare, fail_prepare, fail_fire, doesnt_export };
    explicit test_component(mode m);
    bool preprepare(std::string& error) override;
    bool prepare(std::string& error) override;
    bool fire(std::string& error) override;

  private:
    mode mode_;
};

} // namespace zoetra::basic
