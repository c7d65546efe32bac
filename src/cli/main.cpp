#include "cli/renderer.hpp"

int main(int argc, char** argv) {
    return zoetra::cli::render_main(std::vector<std::string>(argv + 1, argv + argc));
}
