// SPDX-License-Identifier: MIT
#include "scan/CliScan.h"

#include <cstdio>

int main(int argc, char** argv)
{
    // The command-line mode comes first, before anything of the window system loads.
    if (CliScan::matches(argc, argv))
        return CliScan::run(argc, argv);
    std::puts("tallyfern: the window is not built yet; use --scan PATH");
    return 0;
}
