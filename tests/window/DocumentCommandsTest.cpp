// SPDX-License-Identifier: MIT
// The command logic on trees made in memory: enablement, what each command acts on, and
// the Trash's file moves through a workspace that refuses what it is told to; and the
// kinds table, which follows edits in place while the kinds keep their ranks, and starts
// over when they do not.
#include "window/DocumentCommands.h"
#include "model/TallyfernDocument.h"
#include "model/support/Volumes.h"
#include "widgets/Fmt.h"
#include "window/KindsTableModel.h"
#include "window/ToolbarConfiguration.h"
#include "window/support/WindowFixture.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

// Moves nothing: says what it was asked and refuses what it is told to.
class RefusingWorkspace : public RecordingWorkspace {
public:
    FileTrash::Outcome moveToTrash(const std::string& path) override
    {
        asked.push_back(path);
        if (refused.contains(path))
            return { false, {}, QStringLiteral("refused") };
        return { true, "/trash/" + path, {} };
    }
    std::vector<std::string> asked;
};

// /vol: docs/{a.txt 300, b.txt 100, sub/c.txt 50}, Tool.app/Contents/bin 70 (a package),
// top.bin 500, empty/; a whole volume of 10,000 with 2,000 free.
class DocumentCommandsTest : public ::testing::Test {
protected:
    DocumentCommandsTest()
        : document("/vol", volume("/vol", 10'000, 2'000, 2'000), QStringLiteral("vol"))
        , commands(document)
    {
        TreeBuilder builder("/vol");
        FileNode* docs = builder.folder(builder.root(), "docs");
        builder.file(docs, "a.txt", 300);
        builder.file(docs, "b.txt", 100);
        builder.file(builder.folder(docs, "sub"), "c.txt", 50);
        FileNode* tool = builder.folder(builder.root(), "Tool.app");
        builder.file(builder.folder(tool, "Contents"), "bin", 70);
        builder.file(builder.root(), "top.bin", 500);
        builder.folder(builder.root(), "empty");
        document.install(builder.finish());
    }

    FileNode* node(std::string_view relative) { return nodeAt(document.root(), relative); }
    // A view of the selection ("" is the root, "free" the free-space item) and zoom.
    DocumentCommands::View view(const std::vector<std::string_view>& selected, std::string_view zoom = "")
    {
        DocumentCommands::View v;
        for (std::string_view name : selected)
            v.selected.push_back(name == "free" ? document.freeNode() : node(name));
        v.zoomRoot = node(zoom);
        return v;
    }

    TallyfernDocument document;
    DocumentCommands commands;
};

TEST_F(DocumentCommandsTest, EnablementFollowsSelectionZoomAndScans)
{
    struct Case {
        std::vector<std::string_view> selected;
        std::string_view zoom;
        Command command;
        bool enabled;
    };
    const Case cases[] = {
        { {}, "", Command::OpenItem, false },
        { { "free" }, "", Command::OpenItem, false }, // a pseudo item is no file
        { { "free" }, "", Command::ZoomIn, true },
        { { "docs/a.txt" }, "", Command::CopyPath, true },
        { { "docs" }, "", Command::OpenTerminal, true },
        { { "Tool.app" }, "", Command::OpenTerminal, true }, // a package is a folder on disk
        { { "docs", "docs/a.txt" }, "", Command::OpenTerminal, true }, // the folder holds the file
        { { "top.bin" }, "", Command::OpenTerminal, false },
        { { "docs", "empty" }, "", Command::OpenTerminal, false },
        { { "" }, "", Command::MoveToTrash, false }, // never the scanned folder itself
        { { "", "top.bin" }, "", Command::MoveToTrash, false }, // the root holds it
        { { "free", "top.bin" }, "", Command::MoveToTrash, true },
        { {}, "", Command::ZoomOut, false },
        { {}, "docs/sub", Command::ZoomOut, true },
        { { "top.bin" }, "", Command::CollapseSubfolders, true },
        { {}, "", Command::ToggleFreeSpace, true },
        { {}, "", Command::RescanAll, true },
    };
    for (const Case& c : cases) {
        DocumentCommands::View v = view(c.selected, c.zoom);
        EXPECT_EQ(commands.canPerform(c.command, v), c.enabled) << int(c.command) << " zoom " << c.zoom;
        // While a full scan runs the tree is the scan thread's: nothing is enabled.
        v.scanning = true;
        EXPECT_FALSE(commands.canPerform(c.command, v));
    }
    // A folder that is not a whole volume has no free-space item to show.
    TallyfernDocument folder("/f", noVolume());
    folder.install(TreeBuilder("/f").finish());
    const DocumentCommands folderCommands(folder);
    EXPECT_FALSE(folderCommands.canPerform(Command::ToggleFreeSpace, {}));
    EXPECT_FALSE(folderCommands.isChecked(Command::ToggleFreeSpace, {}));
    EXPECT_TRUE(commands.isChecked(Command::ToggleFreeSpace, {}));
    // The free-space item belongs to the scan thread until the new tree is in.
    EXPECT_FALSE(commands.isChecked(Command::ToggleFreeSpace, { .scanning = true }));

    DocumentCommands::View rescanning = view({ "docs" });
    rescanning.rescans = 1;
    EXPECT_FALSE(commands.canPerform(Command::Rescan, rescanning));
    EXPECT_FALSE(commands.canPerform(Command::RescanAll, rescanning));
    EXPECT_TRUE(commands.canPerform(Command::ZoomIn, rescanning));
}

TEST_F(DocumentCommandsTest, EachCommandFindsItsTarget)
{
    struct Case {
        std::vector<std::string_view> selected;
        std::string_view zoomIn, collapse, rescan; // "-": none
    };
    const Case cases[] = {
        { {}, "-", "-", "" }, { { "docs/a.txt" }, "docs", "docs", "docs" },
        { { "docs/sub" }, "docs/sub", "docs/sub", "docs/sub" },
        { { "empty" }, "", "", "empty" }, // an empty folder does not open
        { { "Tool.app" }, "", "", "" }, // nor does a package; its rescan is its folder's
        { { "free" }, "", "", "" },
        { { "docs/sub/c.txt", "top.bin" }, "", "", "docs/sub" }, // zoom: the last; rescan: the first
    };
    for (const Case& c : cases) {
        const DocumentCommands::View v = view(c.selected);
        const auto target = [&](std::string_view path) { return path == "-" ? nullptr : node(path); };
        EXPECT_EQ(commands.zoomInTarget(v), target(c.zoomIn)) << c.zoomIn;
        EXPECT_EQ(commands.collapseTarget(v), target(c.collapse)) << c.collapse;
        EXPECT_EQ(commands.rescanTarget(v), target(c.rescan)) << c.rescan;
    }
    document.showPackageContents = true;
    EXPECT_EQ(commands.zoomInTarget(view({ "Tool.app" })), node("Tool.app"));

    // A double click anywhere below the zoom root goes one level down, into a folder only.
    EXPECT_EQ(commands.doubleClickTarget(node("docs/sub/c.txt"), view({}, "")), node("docs"));
    EXPECT_EQ(commands.doubleClickTarget(node("docs/sub/c.txt"), view({}, "docs")), node("docs/sub"));
    EXPECT_EQ(commands.doubleClickTarget(node("top.bin"), view({}, "")), nullptr);
    EXPECT_EQ(commands.doubleClickTarget(node("top.bin"), view({}, "docs")), nullptr);
}

TEST_F(DocumentCommandsTest, TrashMovesOnlyWhatIsStillInTheTreeAndReportsEachFailure)
{
    RefusingWorkspace workspace;
    FileNode* a = node("docs/a.txt");
    FileNode* sub = node("docs/sub");
    FileNode* top = node("top.bin");
    workspace.refused.insert(top->path());
    FileNode* gone = node("docs/b.txt");
    ASSERT_TRUE(document.removeNode(gone)); // as a rescan or another trash would

    const std::vector<FileNode*> nodes { a, gone, sub, top };
    const DocumentCommands::TrashOutcome outcome = commands.moveToTrash(nodes, workspace);
    EXPECT_EQ(outcome.moved, (std::vector<FileNode*> { a, sub }));
    EXPECT_EQ(workspace.asked, (std::vector<std::string> { a->path(), sub->path(), top->path() }));
    ASSERT_EQ(outcome.failures.size(), 2);
    EXPECT_TRUE(outcome.failures[0].startsWith(QStringLiteral("b.txt: ")));
    EXPECT_EQ(outcome.failures[1], QStringLiteral("top.bin: refused"));

    // A zoom inside what leaves goes to the folder of the item that held it.
    EXPECT_EQ(commands.zoomAfterRemoving(outcome.moved, sub), node("docs"));
    EXPECT_EQ(commands.zoomAfterRemoving(outcome.moved, node("Tool.app")), node("Tool.app"));
    EXPECT_EQ(commands.trashable(view({ "docs", "docs/a.txt", "docs/sub/c.txt", "free" })),
        std::vector<FileNode*> { node("docs") });
}

TEST(ToolbarConfiguration, ASavedListKeepsKnownItemsOnceAndSpacesAsOften)
{
    EXPECT_EQ(ToolbarConfiguration::sanitized(
                  { "zoomIn", "bogus", "space", "zoomIn", "space", "flexibleSpace", "trash", "" }),
        (QStringList { "zoomIn", "space", "space", "flexibleSpace", "trash" }));
}

} // namespace

TEST(KindsTableEdits, FiguresInPlaceRanksByReset)
{
    TreeBuilder b("/data");
    FileNode* big = b.file(b.root(), "big.zzq", 900);
    FileNode* small = b.file(b.root(), "small.zzq", 100);
    b.file(b.root(), "other.zzr", 500);
    FileNode* last = b.file(b.root(), "last.zzs", 50);
    TallyfernDocument doc("/data", noVolume());
    doc.install(b.finish());
    KindsTableModel table(doc);
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::Warning);
    QSignalSpy resets(&table, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&table, &QAbstractItemModel::dataChanged);

    // {node to remove, the table keeps its rows, the row whose figures change}
    const struct {
        FileNode* removed;
        bool inPlace;
        int changedRow;
    } edits[] = {
        { small, true, 0 }, { big, false, -1 }, { last, false, -1 }, // same ranks; ZZQ gone; ZZS gone
    };
    for (const auto& edit : edits) {
        resets.clear();
        changes.clear();
        ASSERT_TRUE(doc.removeNode(edit.removed));
        table.reload();
        EXPECT_EQ(resets.isEmpty(), edit.inPlace);
        if (edit.inPlace) {
            ASSERT_EQ(changes.size(), 1);
            EXPECT_EQ(changes[0][0].value<QModelIndex>().row(), edit.changedRow);
        }
        ASSERT_EQ(table.rowCount(), int(doc.kindStats.size()));
        for (int row = 0; row < table.rowCount(); ++row) {
            EXPECT_EQ(table.kindAt(row), doc.kindStats[std::size_t(row)].kind);
            EXPECT_EQ(table.index(row, KindsTableModel::Size).data(),
                Fmt::bytes(doc.kindStats[std::size_t(row)].size));
        }
    }
}
