#include "app/licence_text.hpp"

namespace zoetra {

const char* licence_notice() {
    return "Zoetra 1.0";
}

const char* about_text() {
    return "Zoetra 1.0";
}

} // namespace zoetra
