// SPDX-License-Identifier: MIT
// Open Terminal Here as the user meets it: enabled on one folder, disabled with a
// reason on anything else, and the folder handed to the desktop's terminal.
#include "window/CommandActions.h"
#include "window/CommandTable.h"
#include "window/FileOutlineView.h"
#include "window/support/WindowFixture.h"

#include <QAction>
#include <QThreadPool>
#include <QtTest>

class TestOpenTerminal : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { DocumentFixture::isolateHome(); }
    void cleanup() { QThreadPool::globalInstance()->waitForDone(); }
    void onlyOneFolderOpensATerminal();
};

void TestOpenTerminal::onlyOneFolderOpensATerminal()
{
    DocumentFixture fixture;
    QVERIFY(fixture.open());
    CommandActions actions;
    DocumentWindowController* document = fixture.window.get();
    actions.setActiveDocumentLookup([document] { return document; });
    document->setCommandActions(&actions);
    QAction* action = actions.action(Command::OpenTerminal);
    const QString tip = CommandTable::of(Command::OpenTerminal).displayTip();

    const struct {
        std::vector<std::string> rows;
        bool enabled;
    } cases[] = {
        { { "docs" }, true },
        { { "Tool.app" }, true }, // a package is a folder on disk
        { { "docs", "docs/notes.txt" }, true }, // the folder holds the file
        { { "top.bin" }, false },
        { { "docs", "media" }, false },
    };
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        std::vector<FileNode*> nodes;
        for (const std::string& row : c.rows)
            nodes.push_back(fixture.node(row));
        fixture.selectRows(nodes);
        actions.refresh();
        const QString label = QString::fromStdString(c.rows.front());
        QVERIFY2(action->isEnabled() == c.enabled, qPrintable(label));
        QVERIFY2((action->statusTip() == tip) == c.enabled, qPrintable(action->statusTip()));
        action->trigger();
        if (c.enabled)
            expected.push_back(nodes.front()->path());
    }
    QCOMPARE(fixture.workspace->terminals, expected);
}

QTEST_MAIN(TestOpenTerminal)
#include "tst_openterminal.moc"
