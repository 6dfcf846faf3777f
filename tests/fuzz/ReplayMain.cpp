// Outside a fuzzing build a fuzz target replays its corpus once: every committed input
// (and every crash input added there after a fix) stays a regression test.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size);

int main (int argc, char** argv)
{
    namespace fs = std::filesystem;
    int replayed = 0;

    for (int i = 1; i < argc; ++i)
    {
        std::vector<fs::path> files;
        if (fs::is_directory (argv[i]))
        {
            for (const auto& entry : fs::directory_iterator (argv[i]))
                if (entry.is_regular_file())
                    files.push_back (entry.path());
        }
        else
        {
            files.emplace_back (argv[i]);
        }

        for (const auto& file : files)
        {
            std::ifstream stream (file, std::ios::binary);
            const std::vector<std::uint8_t> bytes { std::istreambuf_iterator<char> (stream), std::istreambuf_iterator<char>() };
            LLVMFuzzerTestOneInput (bytes.data(), bytes.size());
            ++replayed;
        }
    }

    std::printf ("%d inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;
}
