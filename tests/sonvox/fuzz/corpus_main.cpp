// Runs every file of the given corpus folders through a fuzz target's entry function, so
// that the corpus is part of the normal test suite. Fails when a folder holds no file.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    namespace fs = std::filesystem;
    for (int i = 1; i < argc; ++i) {
        int files = 0;
        std::error_code ec;
        for (const auto &entry : fs::directory_iterator(argv[i], ec)) {
            if (!entry.is_regular_file())
                continue;
            std::ifstream f(entry.path(), std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++files;
        }
        if (ec || files == 0) {
            std::fprintf(stderr, "no corpus files in %s\n", argv[i]);
            return 1;
        }
        std::printf("%s: %d files ran\n", argv[i], files);
    }
    return argc > 1 ? 0 : 1;
}
