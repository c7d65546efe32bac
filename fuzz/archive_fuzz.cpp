// Feeds arbitrary bytes to the archive reader as Resources/a.rez and looks
// entries up, lists them and probes them, reading every stream to its end.
// Resources are relative to the current directory, so each input runs in a
// private directory; the fuzzer's own directory is restored after each input
// because libFuzzer reads and writes corpus paths relative to it.
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

std::string work_directory;

void remove_work_directory() {
    std::error_code ignored;
    fs::remove_all(work_directory, ignored);
}

// Enters the private working directory (made once per process) for the
// lifetime of the object.
class in_work_directory {
  public:
    in_work_directory() : previous_(fs::current_path()) {
        if (work_directory.empty()) {
            std::string pattern =
                (fs::temp_directory_path() / "zoetra-fuzz-archive-XXXXXX").string();
            if (::mkdtemp(pattern.data()) == nullptr)
                std::abort();
            work_directory = pattern;
            std::atexit(remove_work_directory);
            fs::create_directories(fs::path(work_directory) / "Resources");
        }
        fs::current_path(work_directory);
    }
    ~in_work_directory() { fs::current_path(previous_); }
    in_work_directory(const in_work_directory&) = delete;
    in_work_directory& operator=(const in_work_directory&) = delete;

  private:
    fs::path previous_;
};

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
    in_work_directory scope;
    {
        zoetra::file_ptr out(std::fopen("Resources/a.rez", "wb"));
        if (!out || std::fwrite(data, 1, size, out.get()) != size)
            std::abort();
    }
    zoetra::reset_archive_list();

    for (const char* name : {"*x.gif", "*Resources\\a", "*A", "*a.zoml"})
        drain(zoetra::open_resource(name, "rb"));
    for (const char* suffix : {"", ".gif", "A", ".ZOML"}) {
        for (const auto& listed : zoetra::list_files("Resources", suffix, 3)) {
            drain(zoetra::open_resource(listed, "rb"));
            zoetra::probe_gif_size(listed);
        }
    }
    zoetra::probe_gif_size("*x.gif");
    return 0;
}
