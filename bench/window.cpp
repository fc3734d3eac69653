// SPDX-License-Identifier: MIT
// window --bench PATH [RUNS [PEER]]: opens a document window on PATH and measures, for RUNS full
// scans (default 5), the worst lateness of a 10 ms timer while the scan runs, the time
// from the scan's hand-over to the main thread to the first treemap image painted, and
// the time to expand the outline row of the folder with the most children. With that
// folder open it then times the edits a user makes, each from the end of the file-system
// work to the repainted view: the Trash of one file (a workspace that moves nothing, so
// the tree on disk stays as generated) and the rescan of the folder whose subtree holds
// closest to 10,000 files; beside them a full reset of the outline that opens the same
// rows again, as a model without edits in place must; and the switch to apparent sizes
// and back (View > Show Apparent Sizes), each to the repainted treemap. A bare scan of the same folder in
// the same run is printed beside them, and `tallyfern --scan` (PEER) for scan_ratio,
// the window's scan (start to installed tree) over the command line's. The last line is
// the summary:
// Then, in one more window, the folder nearest 10,000 files is rescanned 100 times
// (Rescan Selected Folder) and the growth of the process's resident memory is measured.
// window: max_stall_ms=S expand_ms=E first_image_ms=F trash_ms=T rescan_ms=R reset_ms=Z scan_ratio=Q
//         rescan_growth_pct=G apparent_ms=A
//
// window --show PATH [--demo]: opens a window on PATH and stays up (for looking at it);
// with --demo, once the scan is done, a row two levels down is selected and the second
// kind is highlighted.
#include "BenchTiming.h"
#include "model/TallyfernDocument.h"
#include "platform/gui/Workspace.h"
#include "scan/Scanner.h"
#include "window/Command.h"
#include "window/DocumentWindowController.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/KeyTableView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <string>
#include <vector>

namespace {

using timing::median;

// Records when the main thread starts running a block posted to the application object
// (the scan thread's hand-over is the only such block while a first scan runs).
class HandOverClock : public QObject {
public:
    qint64 lastNs = 0;
    QElapsedTimer* clock = nullptr;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == qApp && event->type() == QEvent::MetaCall)
            lastNs = clock->nsecsElapsed();
        return false;
    }
};

// Notes the time right after the next paint of a widget.
class PaintClock : public QObject {
public:
    bool armed = false;
    qint64 paintedNs = -1;
    QElapsedTimer* clock = nullptr;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (armed && event->type() == QEvent::Paint) {
            armed = false;
            QTimer::singleShot(0, this, [this] { paintedNs = clock->nsecsElapsed(); });
        }
        return false;
    }
};

FileNode* widestFolder(FileNode* root)
{
    FileNode* best = root;
    std::vector<FileNode*> pending { root };
    while (!pending.empty()) {
        FileNode* node = pending.back();
        pending.pop_back();
        if (node->childCount() > best->childCount() && node->isDirectory())
            best = node;
        for (FileNode* child : node->children())
            if (child->isDirectory() && child->hasChildren())
                pending.push_back(child);
    }
    return best;
}

// Reports every item moved without touching the disk.
class PretendWorkspace : public Workspace {
public:
    void open(const std::string&) override { }
    void openUrl(const QUrl&) override { }
    void reveal(const std::vector<std::string>&) override { }
    FileTrash::Outcome moveToTrash(const std::string& path) override { return { true, path, {} }; }
};

// The folder whose subtree holds the number of files closest to `files`.
FileNode* folderOfAbout(FileNode* root, std::int64_t files)
{
    FileNode* best = root;
    std::vector<FileNode*> pending { root };
    while (!pending.empty()) {
        FileNode* node = pending.back();
        pending.pop_back();
        if (std::llabs(node->fileCount - files) < std::llabs(best->fileCount - files))
            best = node;
        for (FileNode* child : node->children())
            if (child->isDirectory() && child->hasChildren())
                pending.push_back(child);
    }
    return best;
}

// Runs posted work and paints until nothing is left to do.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

struct Run {
    double stallMs = 0;
    double handOverStallMs = 0;
    double firstImageMs = 0;
    double scanS = 0;
    std::size_t nodes = 0;
    double trashMs = 0;
    double rescanMs = 0;
    double resetMs = 0;
    std::int64_t rescanFiles = 0;
};

Run measureOnce(const std::string& path, std::vector<double>& expandTimes, std::vector<double>& apparentTimes)
{
    QElapsedTimer clock;
    clock.start();
    HandOverClock handOver;
    handOver.clock = &clock;
    qApp->installEventFilter(&handOver);

    DocumentWindowController window(path);
    PaintClock painted;
    painted.clock = &clock;
    window.treemapView()->installEventFilter(&painted);
    window.show();

    Run run;
    qint64 lastTick = clock.nsecsElapsed();
    bool scanning = true;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const double late = double(now - lastTick) / 1e6 - 10.0;
        lastTick = now;
        if (scanning)
            run.stallMs = std::max(run.stallMs, late);
        else
            run.handOverStallMs = std::max(run.handOverStallMs, late);
    });
    ticker.start();

    bool ended = false;
    QObject::connect(&window, &DocumentWindowController::scanEnded, [&](bool) {
        ended = true;
        scanning = false;
        painted.armed = false;
    });
    QObject::connect(window.treemapView(), &TreemapView::imageDelivered, [&] { painted.armed = true; });
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 handOverNs = handOver.lastNs;
    qApp->removeEventFilter(&handOver);
    while (painted.paintedNs < 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    run.firstImageMs = double(painted.paintedNs - handOverNs) / 1e6;
    run.scanS = window.disk().scanDuration;
    ticker.stop();

    FileNode* widest = widestFolder(window.disk().root());
    run.nodes = widest->childCount();
    FileOutlineView* outline = window.outlineView();
    auto* model = static_cast<FileOutlineModel*>(outline->model());
    for (FileNode* up : widest->ancestors())
        outline->expand(model->indexOf(up));
    QCoreApplication::processEvents();
    const QModelIndex index = model->indexOf(widest);
    for (int i = 0; i < 3; ++i) {
        outline->collapse(index);
        QCoreApplication::processEvents();
        const qint64 t0 = clock.nsecsElapsed();
        outline->expand(index);
        outline->scrollTo(model->index(0, 0, index));
        QCoreApplication::processEvents(); // layout and paint
        expandTimes.push_back(double(clock.nsecsElapsed() - t0) / 1e6);
    }

    // Trash of one file of the open folder.
    window.setWorkspace(std::make_shared<PretendWorkspace>());
    FileNode* victim = nullptr;
    for (FileNode* child : widest->children())
        if (!child->isDirectory())
            victim = child;
    if (victim) {
        window.select(victim);
        window.perform(Command::MoveToTrash);
        auto* sheet = window.findChild<QMessageBox*>(QStringLiteral("trashConfirmation"));
        QAbstractButton* confirm = nullptr;
        for (QAbstractButton* button : sheet ? sheet->buttons() : QList<QAbstractButton*>())
            if (sheet->buttonRole(button) == QMessageBox::AcceptRole)
                confirm = button;
        if (confirm) {
            settle();
            const qint64 t0 = clock.nsecsElapsed();
            confirm->click();
            settle();
            run.trashMs = double(clock.nsecsElapsed() - t0) / 1e6;
        }
    }

    // Rescan of a folder of about 10,000 files, from its hand-over to the main thread.
    FileNode* folder = folderOfAbout(window.disk().root(), 10'000);
    run.rescanFiles = folder->fileCount;
    window.select(folder);
    settle();
    // The rescan's result is handed over in a block posted to the application: the one
    // running when the rescan count drops to zero.
    qint64 deliveredNs = -1;
    qApp->installEventFilter(&handOver);
    const auto watch = QObject::connect(&window, &DocumentWindowController::commandStateChanged, [&] {
        if (deliveredNs < 0 && window.canPerform(Command::Rescan))
            deliveredNs = handOver.lastNs;
    });
    window.perform(Command::Rescan);
    while (deliveredNs < 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    settle();
    run.rescanMs = double(clock.nsecsElapsed() - deliveredNs) / 1e6;
    QObject::disconnect(watch);
    qApp->removeEventFilter(&handOver);

    // A full reset that opens the widest folder again.
    settle();
    const qint64 t0 = clock.nsecsElapsed();
    model->reload();
    for (FileNode* up : widest->ancestors())
        outline->expand(model->indexOf(up));
    outline->expand(model->indexOf(widest));
    settle();
    run.resetMs = double(clock.nsecsElapsed() - t0) / 1e6;

    // Apparent sizes on and off, each until the treemap has painted the new image.
    for (int i = 0; i < 4; ++i) {
        settle();
        painted.paintedNs = -1;
        const qint64 start = clock.nsecsElapsed();
        window.perform(Command::ShowApparentSizes);
        while (painted.paintedNs < 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        apparentTimes.push_back(double(painted.paintedNs - start) / 1e6);
    }

    window.close();
    return run;
}

long residentKiB()
{
    return timing::statusKiB("VmRSS");
}

// The folder whose file count is nearest `files`.
FileNode* folderNear(FileNode* root, std::int64_t files)
{
    FileNode* best = root;
    std::vector<FileNode*> pending { root };
    while (!pending.empty()) {
        FileNode* node = pending.back();
        pending.pop_back();
        if (node != root && std::llabs(node->fileCount - files) < std::llabs(best->fileCount - files))
            best = node;
        for (FileNode* child : node->children())
            if (child->isDirectory())
                pending.push_back(child);
    }
    return best;
}

double rescanGrowthPct(const std::string& path, int rescans)
{
    DocumentWindowController window(path);
    window.show();
    bool ended = false;
    QObject::connect(&window, &DocumentWindowController::scanEnded, [&](bool) { ended = true; });
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    FileNode* folder = folderNear(window.disk().root(), 10'000);
    const std::string folderPath = folder->path();
    // Both readings after the allocator has returned what it holds free, so that memory
    // left free by the scan itself does not flatter the figure.
    const auto settle = [&] {
        window.disk().renderQueue().sync([] {});
        QCoreApplication::processEvents();
        window.disk().renderQueue().sync([] {});
        ::malloc_trim(0);
    };
    settle();
    const long before = residentKiB();
    const std::size_t arenaBefore = window.disk().arenaBytes();
    std::vector<double> times;
    for (int i = 0; i < rescans; ++i) {
        const auto start = timing::Clock::now();
        window.select(folder);
        window.perform(Command::Rescan);
        while (!window.canPerform(Command::Rescan))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        times.push_back(timing::msSince(start));
        if (i == 0) {
            settle();
            std::printf("resident after the first rescan: %ld KiB\n", residentKiB());
        }
    }
    settle();
    const long after = residentKiB();
    const std::size_t arenaAfter = window.disk().arenaBytes();
    window.close();

    const std::string du = "du -s '" + folderPath + "' >/dev/null 2>&1";
    std::vector<double> duTimes;
    for (int i = 0; i < 5; ++i) {
        const auto start = timing::Clock::now();
        if (std::system(du.c_str()) != 0)
            break;
        duTimes.push_back(timing::msSince(start));
    }
    std::printf("rescan of %s (%lld files) x %d: median %.1f ms (du -s: median %.1f ms); resident %ld -> %ld "
                "KiB, node arenas %zu -> %zu KiB\n",
        folderPath.c_str(), static_cast<long long>(folder->fileCount), rescans, median(times),
        duTimes.empty() ? 0.0 : median(duTimes), before, after, arenaBefore / 1024, arenaAfter / 1024);
    return before > 0 ? 100.0 * double(after - before) / double(before) : 0.0;
}

double bareScanSeconds(const std::string& path)
{
    const auto start = timing::Clock::now();
    Scanner scanner(path);
    FileTree tree = scanner.run();
    return timing::msSince(start) / 1000;
}

// Seconds `tallyfern --scan` takes on the path, output discarded.
double peerScanSeconds(const QString& peer, const std::string& path)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const auto start = timing::Clock::now();
    process.start(peer, { QStringLiteral("--scan"), QString::fromStdString(path) });
    process.waitForFinished(-1);
    return timing::msSince(start) / 1000;
}

int bench(const std::string& path, int runs, const QString& peer)
{
    std::vector<double> stalls, handOvers, images, scans, bare, expands, trashes, rescans, resets, peers,
        apparent;
    std::size_t widest = 0;
    std::int64_t rescanFiles = 0;
    for (int i = 0; i < runs; ++i) {
        bare.push_back(bareScanSeconds(path));
        if (!peer.isEmpty())
            peers.push_back(peerScanSeconds(peer, path));
        const Run run = measureOnce(path, expands, apparent);
        trashes.push_back(run.trashMs);
        rescans.push_back(run.rescanMs);
        resets.push_back(run.resetMs);
        rescanFiles = run.rescanFiles;
        stalls.push_back(run.stallMs);
        handOvers.push_back(run.handOverStallMs);
        images.push_back(run.firstImageMs);
        scans.push_back(run.scanS);
        widest = run.nodes;
        std::printf("run %d: scan %.2f s (bare scanner %.2f s), worst 10 ms timer lateness %.1f ms while "
                    "scanning, %.1f ms after; first image %.1f ms after the hand-over\n",
            i + 1, run.scanS, bare.back(), run.stallMs, run.handOverStallMs, run.firstImageMs);
    }
    std::printf("window scan (scan + install) median %.2f s; bare scanner median %.2f s\n", median(scans),
        median(bare));
    std::printf("expand the widest folder (%zu children): median %.1f ms over %zu expands\n", widest,
        median(expands), expands.size());
    std::printf("hand-over stall (event loop after the scan, incl. first layout) median %.1f ms\n",
        median(handOvers));
    std::printf("edits with the widest folder open: trash of one file median %.1f ms, rescan of a folder of "
                "%lld files %.1f ms, full reset reopening it %.1f ms\n",
        median(trashes), static_cast<long long>(rescanFiles), median(rescans), median(resets));
    // Taken round by round, as each round's two scans see the same load from elsewhere.
    const std::vector<double>& against = peers.empty() ? bare : peers;
    std::vector<double> ratios, overBare;
    for (std::size_t i = 0; i < scans.size(); ++i) {
        ratios.push_back(scans[i] / against[i]);
        overBare.push_back(scans[i] / bare[i]);
    }
    std::printf("the window's scan over the bare scanner of its round: median %.2f\n", median(overBare));
    std::printf(
        "tallyfern --scan median %.2f s; the window's scan over it, median of the rounds' ratios %.2f\n",
        median(against), median(ratios));
    std::printf("apparent sizes on or off, to the repainted treemap: median %.1f ms over %zu switches\n",
        median(apparent), apparent.size());
    const double growth = rescanGrowthPct(path, 100);
    std::printf("window: max_stall_ms=%.1f expand_ms=%.1f first_image_ms=%.1f trash_ms=%.1f rescan_ms=%.1f "
                "reset_ms=%.1f scan_ratio=%.2f rescan_growth_pct=%.1f apparent_ms=%.1f\n",
        median(stalls), median(expands), median(images), median(trashes), median(rescans), median(resets),
        median(ratios), growth, median(apparent));
    return 0;
}

int show(const std::string& path, bool demo)
{
    auto* window = new DocumentWindowController(path);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->onClose = [] { QTimer::singleShot(0, qApp, &QCoreApplication::quit); };
    if (demo) {
        QObject::connect(window, &DocumentWindowController::scanEnded, window, [window](bool cancelled) {
            FileNode* root = window->disk().root();
            if (cancelled || !root)
                return;
            FileNode* pick = root;
            for (int depth = 0; depth < 2; ++depth) {
                auto folder = std::find_if(pick->children().begin(), pick->children().end(),
                    [](FileNode* n) { return n->isDirectory() && n->hasChildren(); });
                if (folder == pick->children().end())
                    break;
                pick = *folder;
            }
            window->select(pick->hasChildren() ? pick->child(0) : pick);
            if (window->kindsTable()->model()->rowCount() > 1)
                window->kindsTable()->selectRow(1);
            window->outlineView()->setFocus();
        });
    }
    window->show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    if (argc >= 3 && std::strcmp(argv[1], "--bench") == 0)
        return bench(argv[2], argc >= 4 ? std::max(1, std::atoi(argv[3])) : 5,
            argc >= 5 ? QString::fromLocal8Bit(argv[4]) : QString());
    if (argc >= 3 && std::strcmp(argv[1], "--show") == 0)
        return show(argv[2], argc >= 4 && std::strcmp(argv[3], "--demo") == 0);
    std::fprintf(stderr, "usage: window --bench PATH [RUNS [PEER]] | --show PATH [--demo]\n");
    return 2;
}
