// zoetra-rezpack OUT.rez FILE...: packs files into a resource archive under
// their file names (directories dropped), in the order given.
#include "resources/archive_writer.hpp"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: zoetra-rezpack OUT.rez FILE...\n");
        return 2;
    }
    std::vector<std::string> files(argv + 2, argv + argc);
    if (zoetra::outcome packed = zoetra::pack_files(argv[1], files); !packed) {
        std::fprintf(stderr, "zoetra-rezpack: %s\n", packed.message().c_str());
        return 1;
    }
    std::printf("%s: %zu %s\n", argv[1], files.size(), files.size() == 1 ? "entry" : "entries");
    return 0;
}
