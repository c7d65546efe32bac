#pragma once
#include "engine/component.hpp"

namespace zoetra::basic {

// A matrix of fresh pseudo-random whole numbers at every fire, uniform over
// the range of "VALUE".
class RANDOM : public component {
  public:
    RANDOM();
    bool fire(std::string& error) override;
};

} // namespace zoetra::basic
