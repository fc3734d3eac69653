// SPDX-License-Identifier: MIT
// The kinds table follows edits in place while the kinds keep their ranks, and starts
// over when they do not.
#include "model/TallyfernDocument.h"
#include "model/support/Volumes.h"
#include "support/TreeBuilder.h"
#include "widgets/Fmt.h"
#include "window/KindsTableModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

void expectShowsDocument(const KindsTableModel& table, const TallyfernDocument& doc)
{
    ASSERT_EQ(table.rowCount(), int(doc.kindStats.size()));
    for (int row = 0; row < table.rowCount(); ++row) {
        const KindStat& stat = doc.kindStats[std::size_t(row)];
        EXPECT_EQ(table.kindAt(row), stat.kind);
        EXPECT_EQ(table.index(row, KindsTableModel::Size).data(), Fmt::bytes(stat.size));
        EXPECT_EQ(table.index(row, KindsTableModel::Count).data(), Fmt::count(stat.count));
    }
}

} // namespace

TEST(KindsTableEdits, FiguresInPlaceRanksByReset)
{
    TreeBuilder b("/data");
    FileNode* big = b.file(b.root(), "big.zzq", 900);
    FileNode* small = b.file(b.root(), "small.zzq", 100);
    FileNode* other = b.file(b.root(), "other.zzr", 500);
    FileNode* last = b.file(b.root(), "last.zzs", 50);
    TallyfernDocument doc("/data", noVolume(), "data");
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
        { small, true, 0 }, // ZZQ 900, ZZR 500, ZZS 50: same order
        { big, false, -1 }, // ZZQ gone
        { last, false, -1 }, // ZZS gone
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
        expectShowsDocument(table, doc);
    }
    EXPECT_EQ(table.rowOf(other->kind), 0);
}
