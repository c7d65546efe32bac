// Feeds arbitrary bytes to the archive reader as Resources/a.rez of a private
// data folder and looks entries up, lists them and probes them, reading every
// stream to its end. A new resource folder per input reads the archive again.
#include "resources/resource.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The private data folder, made once per process.
const fs::path& data_folder() {
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "zoetra-fuzz-archive-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        fs::create_directories(fs::path(pattern) / "Resources");
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(data_folder(), ignored);
        });
        return fs::path(pattern);
    }();
    return folder;
}

void drain(zoetra::file_ptr file) {
    if (!file)
        return;
    char buffer[4096];
    while (std::fread(buffer, 1, sizeof buffer, file.get()) == sizeof buffer) {
    }
    // Seeking must stay within what the stream holds.
    std::fseek(file.get(), 0, SEEK_SET);
    std::fgetc(file.get());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        zoetra::file_ptr out(std::fopen((data_folder() / "Resources" / "a.rez").c_str(), "wb"));
        if (!out || std::fwrite(data, 1, size, out.get()) != size)
            std::abort();
    }
    const zoetra::resource_folder folder(data_folder());
    for (const char* name : {"*x.gif", "*Resources\\a", "*A", "*a.zoml"})
        drain(folder.open(name, "rb"));
    for (const char* suffix : {"", ".gif", "A", ".ZOML"}) {
        for (const auto& listed : folder.list("Resources", suffix, 3)) {
            drain(folder.open(listed, "rb"));
            (void)folder.probe_gif_size(listed);
        }
    }
    (void)folder.probe_gif_size("*x.gif");
    return 0;
}
