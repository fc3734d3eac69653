// SPDX-License-Identifier: MIT
// mktree ROOT [FILES] [SEED]: writes the deterministic benchmark tree below ROOT (which
// must be empty or missing) and prints the number of entries it made.
#include "TreeGenerator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: mktree ROOT [FILES] [SEED]\n");
        return 2;
    }
    TreeGenerator::Options options;
    if (argc > 2)
        options.targetFiles = std::strtoull(argv[2], nullptr, 10);
    if (argc > 3)
        options.seed = std::strtoull(argv[3], nullptr, 10);
    std::size_t created = 0;
    const int rc = TreeGenerator::writeToDisk(argv[1], options, &created);
    if (rc != 0) {
        std::fprintf(stderr, "mktree: %s after %zu entries: %s\n", argv[1], created, std::strerror(rc));
        return 1;
    }
    std::printf("mktree: %zu entries below %s\n", created, argv[1]);
    return 0;
}
