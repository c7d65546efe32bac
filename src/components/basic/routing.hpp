#pragma once
// Components that route matrices without computing on them: the splitter,
// the input selector and the decomposition of a vector into single values.
#include "engine/component.hpp"

#include <array>

namespace zoetra::basic {

inline constexpr int routing_channels = 4;

// Sends a copy of "IN" through every connected "OUT.1" to "OUT.4".
class split : public component {
  public:
    split();
    outcome preprepare() override;
    outcome fire() override;

  private:
    cfg_FP64& size_;
    cfg_FP64& value_;
    cfg_menu& type_;
    port& in_;
    std::array<port*, routing_channels> outputs_{};
};

// Passes the input chosen by "WHICH" ("1" to "4") on through "OUT".
class OR : public component {
  public:
    OR();
    outcome fire() override;

  private:
    cfg_FP64& value_;
    cfg_FP64& size_;
    cfg_menu& type_;
    cfg_menu& which_;
    port& out_;
    std::array<port*, routing_channels> inputs_{};
};

// Element k - 1 of "IN.decompose" leaves through "OUT.decompose.k" as a
// 1 x 1 x 1 matrix, for k up to the x size in "SIZE.IN".
class DECOMPOSE : public component {
  public:
    DECOMPOSE();
    outcome fire() override;

  private:
    cfg_FP64& value_;
    cfg_FP64& size_in_;
    cfg_FP64& size_out_;
    cfg_menu& type_;
    std::array<port*, routing_channels> outputs_{};
    port* in_ = nullptr;
};

} // namespace zoetra::basic
