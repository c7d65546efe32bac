#pragma once
#include "engine/component.hpp"

namespace zoetra::basic {

// A matrix of fresh pseudo-random whole numbers at every fire, uniform over
// the range of "VALUE", from the program's generator.
class RANDOM : public component {
  public:
    RANDOM();
    outcome fire() override;

  private:
    port* out_ = nullptr;
};

} // namespace zoetra::basic
