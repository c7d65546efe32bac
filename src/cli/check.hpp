#pragma once
// The report of --check: what the loader passed over in an effect file.
#include "engine/script.hpp"

#include <string>

namespace zoetra::cli {

// One line per note, problems first ("problem: ELEMENT: REASON"), then the
// inputs left unconnected ("note: ..."), then a count line naming the
// effect. problems receives the number of problem lines.
std::string check_report(const script& effect, int& problems);

} // namespace zoetra::cli
