// Writes the benchmarks' 512 x 1024 24-bit photograph to a file, for the whole-process
// conversion timings of scripts/bench.
//
//   bench_write_photo FILE.bmp
#include "BenchPhoto.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.bmp\n", argv[0]);
        return 2;
    }
    const std::vector<std::uint8_t> bytes = korva::test::benchPhoto();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
