// Runs one committed seed through a fuzzing target and checks that it
// reaches the path it is named for:
//
//   fuzz_replay_<target> SEED EXPECTED_PATH
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/fuzz/FuzzTarget.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SEED EXPECTED_PATH\n", argv[0]);
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    std::vector<uint8_t> seed((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string reached = FuzzOutcome(seed.data(), seed.size());
    std::printf("%s: %s\n", argv[1], reached.c_str());
    if (reached == argv[2]) return 0;
    std::printf("expected: %s\n", argv[2]);
    return 1;
}
