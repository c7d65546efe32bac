#include "cli/check.hpp"

#include "base/utility.hpp"

namespace zoetra::cli {

std::string check_report(const script& effect, int& problems) {
    std::string report;
    problems = 0;
    int notes = 0;
    for (bool wanted : {true, false}) {
        for (const load_note& n : effect.load_notes()) {
            if (n.problem() != wanted)
                continue;
            report += format("%s: %s: %s\n", wanted ? "problem" : "note", n.element.c_str(),
                             n.reason.c_str());
            ++(wanted ? problems : notes);
        }
    }
    report += format("%s: %d %s, %d %s\n", effect.desc().name.c_str(), problems,
                     problems == 1 ? "problem" : "problems", notes, notes == 1 ? "note" : "notes");
    return report;
}

} // namespace zoetra::cli
