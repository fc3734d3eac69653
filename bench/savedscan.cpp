// SPDX-License-Identifier: MIT
// savedscan FILE ENTRIES: writes a synthetic saved scan of about ENTRIES entries in the
// ncdu JSON format, with no files on disk: folders of a few hundred entries three levels
// deep, names and sizes from a fixed seed, about 1% hard links. Prints the entry count.
// savedscan --window FILE: opens FILE in a document window (offscreen) and prints
//   window_s=S first_treemap_s=T peak_kib=K
// the time from the window's creation to the end of the load and to the first treemap
// image, and the process's peak resident memory.
#include "BenchTiming.h"
#include "model/TallyfernDocument.h"
#include "scan/ScanStream.h"
#include "window/DocumentWindowController.h"
#include "window/TreemapView.h"

#include <QApplication>
#include <QElapsedTimer>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

void put(ScanSink& sink, std::string_view text)
{
    sink.write(text.data(), text.size());
}

void putNumber(ScanSink& sink, std::uint64_t value)
{
    char text[24];
    put(sink, std::string_view(text, std::size_t(std::to_chars(text, text + sizeof text, value).ptr - text)));
}

int openInWindow(int argc, char** argv)
{
    QApplication app(argc, argv);
    QElapsedTimer clock;
    clock.start();
    DocumentWindowController window(DocumentWindowController::SavedScanFile { argv[2] });
    double loadedS = -1, imageS = -1;
    QObject::connect(
        &window, &DocumentWindowController::scanEnded, [&](bool) { loadedS = clock.elapsed() / 1e3; });
    QObject::connect(window.treemapView(), &TreemapView::imageDelivered, [&] {
        if (imageS < 0)
            imageS = clock.elapsed() / 1e3;
    });
    window.show();
    while (imageS < 0 && !(loadedS >= 0 && !window.disk().root()))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!window.disk().root()) {
        std::fprintf(stderr, "savedscan: %s could not be opened\n", argv[2]);
        return 1;
    }
    std::printf(
        "window_s=%.3f first_treemap_s=%.3f peak_kib=%ld\n", loadedS, imageS, timing::statusKiB("VmHWM"));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string_view(argv[1]) == "--window")
        return openInWindow(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: savedscan FILE ENTRIES\n");
        return 2;
    }
    const std::uint64_t target = std::strtoull(argv[2], nullptr, 10);
    static const char* const extensions[]
        = { ".txt", ".jpg", ".c", ".h", ".o", ".png", ".mp4", ".json", "", ".so" };
    std::mt19937_64 random(20261207);
    ScanSink sink(argv[1]);
    put(sink,
        "[1,2,{\"progname\":\"savedscan\",\"progver\":\"1\",\"timestamp\":1796601124},\n"
        "[{\"name\":\"/synthetic\",\"dev\":2049}");
    std::uint64_t entries = 0, inode = 1;
    // 100 top folders, each of leaf folders of 50 to 600 entries, until the count is reached.
    for (int top = 0; entries < target; ++top) {
        put(sink, ",\n[{\"name\":\"top");
        putNumber(sink, std::uint64_t(top));
        put(sink, "\"}");
        ++entries;
        for (int leaf = 0; leaf < 1000 && entries < target; ++leaf) {
            put(sink, ",\n[{\"name\":\"folder");
            putNumber(sink, std::uint64_t(leaf));
            put(sink, "\"}");
            ++entries;
            const std::uint64_t files = 50 + random() % 551;
            for (std::uint64_t f = 0; f < files && entries < target; ++f, ++entries) {
                const std::uint64_t logical = random() % 8 == 0 ? random() % (64u << 20) : random() % 40000;
                put(sink, ",\n{\"name\":\"file");
                putNumber(sink, f);
                put(sink, extensions[random() % 10]);
                put(sink, "\",\"asize\":");
                putNumber(sink, logical);
                put(sink, ",\"dsize\":");
                putNumber(sink, (logical + 4095) / 4096 * 4096);
                if (random() % 100 == 0) {
                    put(sink, ",\"ino\":");
                    putNumber(sink, inode++);
                    put(sink, ",\"hlnkc\":true,\"nlink\":2");
                }
                put(sink, "}");
            }
            put(sink, "]");
        }
        put(sink, "]");
    }
    put(sink, "]]\n");
    if (!sink.commit()) {
        std::fprintf(stderr, "savedscan: %s\n", sink.error().c_str());
        return 1;
    }
    std::printf("%llu\n", static_cast<unsigned long long>(entries));
    return 0;
}
