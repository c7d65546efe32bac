// Every example network of docs/effects.md loads without a problem and
// renders: the guide cannot drift from the program.
#include "run_command.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zoetra {
namespace {
namespace fs = std::filesystem;
using testing::command_result;
using testing::quoted;
using testing::renderer;
using testing::run;

std::vector<std::string> zoml_blocks(const std::string& markdown) {
    std::vector<std::string> blocks;
    std::istringstream in(markdown);
    std::string line, block;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!inside && line == "```zoml") {
            inside = true;
            block.clear();
        } else if (inside && line == "```") {
            inside = false;
            blocks.push_back(block);
        } else if (inside) {
            block += line + "\n";
        }
    }
    return blocks;
}

TEST(EffectsGuide, EveryExampleNetworkPassesTheCheckAndRenders) {
    const std::string guide =
        testing::read_file((fs::path(ZOETRA_SOURCE_DIR) / "docs" / "effects.md").string());
    const std::vector<std::string> blocks = zoml_blocks(guide);
    ASSERT_GE(blocks.size(), 3u);
    const fs::path folder = fs::path(ZOETRA_BINARY_DIR) / "test-tmp" / "guide";
    fs::create_directories(folder);
    const std::string sample = (fs::path(ZOETRA_SOURCE_DIR) / "samples" / "logo.gif").string();
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        SCOPED_TRACE("example " + std::to_string(i + 1));
        const fs::path file = folder / ("example" + std::to_string(i + 1) + ".zoml");
        std::ofstream(file) << blocks[i];
        command_result checked = run(renderer() + " --check " + quoted(file.string()));
        EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
        const fs::path out = folder / ("example" + std::to_string(i + 1) + ".gif");
        command_result made = run(renderer() + " -q -n 3 -e " + quoted(file.string()) + " -o " +
                                  quoted(out.string()) + " " + quoted(sample));
        EXPECT_EQ(made.status, 0) << made.err;
        EXPECT_GT(fs::exists(out) ? fs::file_size(out) : 0u, 100u);
    }
}

} // namespace
} // namespace zoetra
