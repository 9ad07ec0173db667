// The main of a fuzz target in the ordinary build: runs the target's entry
// once over every file of the folders (or files) named on the command line, as
// libFuzzer replays a corpus, so every run of the suite checks the kept inputs
// without clang. An input that takes longer than the bound is a hang: the
// alarm ends the program and the test fails naming it.

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace
{

constexpr unsigned seconds_per_input = 30;

void on_alarm(int)
{
    static const char text[] = "replay: the input above took too long (a hang)\n";
    [[maybe_unused]] const ssize_t n = write(2, text, sizeof text - 1);
    _exit(3);
}

} // namespace

int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path named(argv[i]);
        if (std::filesystem::is_directory(named)) {
            for (const auto &entry : std::filesystem::directory_iterator(named))
                if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                    inputs.push_back(entry.path());
        } else if (std::filesystem::is_regular_file(named)) {
            inputs.push_back(named);
        } else {
            std::fprintf(stderr, "replay: %s is neither a file nor a folder\n", argv[i]);
            return 2;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    std::signal(SIGALRM, on_alarm);
    for (const auto &path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", path.c_str(), bytes.size());
        alarm(seconds_per_input);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
        alarm(0);
    }
    std::printf("replay: %zu inputs, none crashed or hung\n", inputs.size());
    // A target with nothing to replay is a broken set-up, not a pass.
    return inputs.empty() ? 1 : 0;
}
