// SPDX-License-Identifier: MIT
#include "app/GuiMain.h"
#include "app/LaunchArguments.h"
#include "scan/CliScan.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

// The launcher links the scanner and QtCore only. Everything graphical is in a module
// loaded on demand, so `--scan` neither maps nor initialises the window system's
// libraries (several MiB of resident memory and milliseconds of start-up).

namespace {

// The folder of the running executable, symbolic links resolved.
std::string executableFolder(const char* argv0)
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            break;
        if (std::size_t(n) < buffer.size()) {
            std::string path(buffer.data(), std::size_t(n));
            return path.substr(0, path.rfind('/'));
        }
        buffer.resize(buffer.size() * 2);
    }
    // Without /proc: the invoked path, when it names a folder at all.
    const std::string invoked = argv0 ? argv0 : "";
    const std::size_t slash = invoked.rfind('/');
    return slash == std::string::npos ? std::string(".") : invoked.substr(0, slash);
}

// Beside the executable in the build tree; under the library folder once installed.
std::vector<std::string> moduleCandidates(const std::string& folder)
{
    const std::filesystem::path here(folder);
    return { (here / GuiMain::kModuleName).string(),
        (here / TALLYFERN_GUI_MODULE_FROM_BINDIR / GuiMain::kModuleName).lexically_normal().string() };
}

std::string workingFolder()
{
    std::vector<char> buffer(4096);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return "/";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

int fail(const std::string& reason)
{
    std::fprintf(stderr, "tallyfern: cannot start the window: %s\n", reason.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    // The command-line mode comes first, before anything of the window system loads.
    if (CliScan::matches(argc, argv))
        return CliScan::run(argc, argv);
    // Help, version and mistyped options are answered here, without a display.
    // Raw bytes, so that names that are not UTF-8 reach the scanner intact.
    const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
    const LaunchArguments::Verdict verdict = LaunchArguments::check(arguments);
    switch (verdict.action) {
    case LaunchArguments::Verdict::Action::Help:
    case LaunchArguments::Verdict::Action::Version:
        std::fputs(verdict.text.c_str(), stdout);
        return 0;
    case LaunchArguments::Verdict::Action::Refuse:
        std::fprintf(stderr, "tallyfern: %s (see tallyfern --help)\n", verdict.text.c_str());
        return 2;
    case LaunchArguments::Verdict::Action::Open:
        break;
    }
    // A malformed pattern stops the launch here: no window, nothing scanned.
    LaunchArguments::Launch launch;
    std::string error;
    if (!LaunchArguments::plan(arguments, workingFolder(), launch, error)) {
        std::fprintf(stderr, "tallyfern: %s\n", error.c_str());
        return 2;
    }

    const std::vector<std::string> candidates
        = moduleCandidates(executableFolder(argc > 0 ? argv[0] : nullptr));
    for (const std::string& path : candidates) {
        if (::access(path.c_str(), F_OK) != 0)
            continue;
        // Never closed: the application's objects live until the process exits.
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module)
            return fail(::dlerror());
        auto entry = reinterpret_cast<GuiMain::Entry>(::dlsym(module, GuiMain::kEntrySymbol));
        if (!entry)
            return fail(path + " has no entry point " + GuiMain::kEntrySymbol);
        return entry(argc, argv, launch);
    }
    return fail(std::string(GuiMain::kModuleName) + " is neither at " + candidates.front() + " nor at "
        + candidates.back());
}
