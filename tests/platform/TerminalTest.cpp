// SPDX-License-Identifier: MIT
#include "platform/Terminal.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::string readWhenWritten(const std::string& path)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        std::ifstream in(path);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        if (text.ends_with("end\n") || std::chrono::steady_clock::now() > deadline)
            return text;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace

// The terminal starts in the very folder asked for, whatever bytes its name holds, with
// $TERMINAL's words as its arguments; a link standing in the folder's place, a missing
// folder or a missing program start nothing and say so.
TEST(Terminal, StartsInTheFolderItselfWithoutAShell)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string root = dir.path().toStdString();
    const std::string odd = root + "/caf\xe9 $(x) 'q'";
    ASSERT_EQ(::mkdir(odd.c_str(), 0700), 0);
    ASSERT_EQ(::symlink(odd.c_str(), (root + "/link").c_str()), 0);
    const std::string fake = root + "/fake terminal";
    std::ofstream(fake)
        << "#!/bin/sh\n{ pwd -P; for a in \"$@\"; do echo \"[$a]\"; done; echo end; } > \"$OUT\"\n";
    ASSERT_EQ(::chmod(fake.c_str(), 0700), 0);

    const struct {
        std::string terminal;
        std::string folder;
        bool started;
        std::string written;
    } cases[] = {
        { "\"" + fake + "\"", odd, true, odd + "\nend\n" },
        { "\"" + fake + "\" -e \"two words\"", odd, true, odd + "\n[-e]\n[two words]\nend\n" },
        { "\"" + fake + "\"", root + "/link", false, "" },
        { root + "/no-such-terminal", odd, false, "" },
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const std::string out = root + "/out" + std::to_string(i);
        ::setenv("OUT", out.c_str(), 1);
        ::setenv("TERMINAL", c.terminal.c_str(), 1);
        EXPECT_EQ(Terminal::openIn(c.folder), c.started) << i;
        if (c.started)
            EXPECT_EQ(readWhenWritten(out), c.written) << i;
        else
            EXPECT_NE(::access(out.c_str(), F_OK), 0) << i;
    }
    ::unsetenv("TERMINAL");
}
