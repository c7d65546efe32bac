#pragma once
// Components that route matrices without computing on them: the splitter,
// the input selector and the decomposition of a vector into single values.
#include "engine/component.hpp"

namespace zoetra::basic {

// Sends a copy of "IN" through every connected "OUT.1" to "OUT.4".
class split : public component {
  public:
    split();
    bool preprepare(std::string& error) override;
    bool fire(std::string& error) override;
};

// Passes the input chosen by "WHICH" ("1" to "4") on through "OUT".
class OR : public component {
  public:
    OR();
    bool fire(std::string& error) override;
};

// Element k - 1 of "IN.decompose" leaves through "OUT.decompose.k" as a
// 1 x 1 x 1 matrix, for k up to the x size in "SIZE.IN".
class DECOMPOSE : public component {
  public:
    DECOMPOSE();
    bool fire(std::string& error) override;
};

} // namespace zoetra::basic
