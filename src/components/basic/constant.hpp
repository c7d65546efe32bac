#pragma once
#include "engine/component.hpp"

namespace zoetra::basic {

// A constant: its connected output sends a matrix of the configured size
// filled with the constant ("VALUE", truncated to the element width).
class constant : public component {
  public:
    explicit constant(double value);
    outcome fire() override { return finish_fire(); }
};

} // namespace zoetra::basic
