// SPDX-License-Identifier: MIT
#include "window/DocumentToolbar.h"
#include "window/ToolbarConfiguration.h"
#include "window/ToolbarCustomizationDialog.h"

#include <QAction>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <map>
#include <memory>

class TestToolbarCustomization : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void firstUseShowsTheDefaultItemsInOrder();
    void dialogOffersEveryItemAndSpaces();
    void editedArrangementComesBackInANewWindow();
    void restoreDefaultsAndCancel();
    void savedArrangementsAreCleanedOnLoad();

private:
    // A window with a toolbar whose actions stand for the commands.
    std::unique_ptr<QMainWindow> makeWindow()
    {
        auto window = std::make_unique<QMainWindow>();
        auto* toolbar
            = new DocumentToolbar([this](Command command) { return action(command); }, window.get());
        window->addToolBar(toolbar);
        window->resize(1000, 300);
        return window;
    }
    QAction* action(Command command)
    {
        auto& slot = m_actions[command];
        if (!slot)
            slot = std::make_unique<QAction>(QIcon(), QStringLiteral("action %1").arg(int(command)));
        return slot.get();
    }
    static DocumentToolbar* toolbarOf(QMainWindow& window) { return window.findChild<DocumentToolbar*>(); }
    static QStringList shownIdentifiers(DocumentToolbar* toolbar)
    {
        QStringList ids;
        for (QAction* a : toolbar->actions())
            ids << toolbar->identifierOf(a);
        return ids;
    }
    static int rowOf(QListWidget* list, const QString& label)
    {
        for (int row = 0; row < list->count(); ++row)
            if (list->item(row)->text() == label)
                return row;
        return -1;
    }
    static void clickRow(QListWidget* list, int row)
    {
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
    static QPushButton* button(QWidget* dialog, const QString& text)
    {
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            if (b->text().remove(QLatin1Char('&')) == text)
                return b;
        return nullptr;
    }

    QTemporaryDir m_settingsDir;
    std::map<Command, std::unique_ptr<QAction>> m_actions;
};

void TestToolbarCustomization::initTestCase()
{
    QVERIFY(m_settingsDir.isValid());
    QCoreApplication::setOrganizationName(QStringLiteral("TallyfernTest"));
    QCoreApplication::setApplicationName(QStringLiteral("toolbar"));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
}

void TestToolbarCustomization::init()
{
    ToolbarConfiguration::forget();
}

void TestToolbarCustomization::firstUseShowsTheDefaultItemsInOrder()
{
    auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    DocumentToolbar* toolbar = toolbarOf(*window);
    const QStringList expected
        = { "zoomOut", "zoomIn", "zoomTop", "flexibleSpace", "reveal", "quickLook", "rescan", "trash" };
    QCOMPARE(toolbar->items(), expected);
    QCOMPARE(shownIdentifiers(toolbar), expected);

    // Each command item is the shared action of its command, labelled as the table says.
    QCOMPARE(toolbar->actions()[0], action(Command::ZoomOut));
    QCOMPARE(toolbar->actions()[7], action(Command::MoveToTrash));
    auto* trashButton = qobject_cast<QToolButton*>(toolbar->widgetForAction(action(Command::MoveToTrash)));
    QVERIFY(trashButton);
    QCOMPARE(trashButton->toolTip(), QStringLiteral("Move to Trash"));
    auto* revealButton
        = qobject_cast<QToolButton*>(toolbar->widgetForAction(action(Command::RevealInFileManager)));
    QCOMPARE(revealButton->toolTip(), QStringLiteral("Reveal in File Manager"));

    // The flexible space pushes the file actions to the right edge.
    QWidget* zoomTop = toolbar->widgetForAction(action(Command::ZoomToTop));
    QWidget* reveal = toolbar->widgetForAction(action(Command::RevealInFileManager));
    QVERIFY(reveal->x() - (zoomTop->x() + zoomTop->width()) > 500);
}

void TestToolbarCustomization::dialogOffersEveryItemAndSpaces()
{
    ToolbarCustomizationDialog dialog(ToolbarConfiguration::defaultItems());
    QStringList offered;
    for (int row = 0; row < dialog.availableList()->count(); ++row)
        offered << dialog.availableList()->item(row)->text();
    QCOMPARE(offered,
        (QStringList { "Zoom In", "Zoom Out", "Zoom to Top", "Reveal in File Manager", "Quick Look",
            "Move to Trash", "Rescan", "Flexible Space", "Space" }));
    QCOMPARE(dialog.chosenItems(), ToolbarConfiguration::defaultItems());
    QCOMPARE(ToolbarConfiguration::allowedItems(), ToolbarConfiguration::defaultItems() << "space");
}

void TestToolbarCustomization::editedArrangementComesBackInANewWindow()
{
    auto first = makeWindow();
    first->show();
    ToolbarCustomizationDialog dialog(toolbarOf(*first)->items(), first.get());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QListWidget* available = dialog.availableList();
    QListWidget* chosen = dialog.toolbarList();

    // An item already in the toolbar cannot be added twice.
    clickRow(available, rowOf(available, "Zoom In"));
    QVERIFY(!button(&dialog, "Add")->isEnabled());

    // Take "Move to Trash" out.
    clickRow(chosen, rowOf(chosen, "Move to Trash"));
    QTest::mouseClick(button(&dialog, "Remove"), Qt::LeftButton);
    // Put a fixed space after "Zoom to Top" (two of them: spaces may repeat).
    clickRow(chosen, rowOf(chosen, "Zoom to Top"));
    clickRow(available, rowOf(available, "Space"));
    QVERIFY(button(&dialog, "Add")->isEnabled());
    QTest::mouseClick(button(&dialog, "Add"), Qt::LeftButton);
    QTest::mouseClick(button(&dialog, "Add"), Qt::LeftButton);
    // Move "Rescan" to the front.
    clickRow(chosen, rowOf(chosen, "Rescan"));
    for (int i = 0; i < 10; ++i)
        QTest::mouseClick(button(&dialog, "Move Up"), Qt::LeftButton);
    QVERIFY(!button(&dialog, "Move Up")->isEnabled());

    const QStringList expected = { "rescan", "zoomOut", "zoomIn", "zoomTop", "space", "space",
        "flexibleSpace", "reveal", "quickLook" };
    QCOMPARE(dialog.chosenItems(), expected);
    QSignalSpy chosenSignal(&dialog, &ToolbarCustomizationDialog::itemsChosen);
    QTest::mouseClick(button(&dialog, "OK"), Qt::LeftButton);
    QCOMPARE(chosenSignal.size(), 1);

    auto second = makeWindow();
    QCOMPARE(toolbarOf(*second)->items(), expected);
    QCOMPARE(shownIdentifiers(toolbarOf(*second)), expected);
    QVERIFY(!toolbarOf(*second)->widgetForAction(action(Command::MoveToTrash)));

    // The window that was already open follows too.
    DocumentToolbar::reloadAll();
    QCOMPARE(toolbarOf(*first)->items(), expected);
}

void TestToolbarCustomization::restoreDefaultsAndCancel()
{
    ToolbarConfiguration::save({ "trash" });
    ToolbarCustomizationDialog dialog(ToolbarConfiguration::load());
    QCOMPARE(dialog.chosenItems(), QStringList { "trash" });
    QTest::mouseClick(button(&dialog, "Restore Defaults"), Qt::LeftButton);
    QCOMPARE(dialog.chosenItems(), ToolbarConfiguration::defaultItems());
    QTest::mouseClick(button(&dialog, "Cancel"), Qt::LeftButton);
    QCOMPARE(ToolbarConfiguration::load(), QStringList { "trash" }); // cancelled: nothing saved

    // An empty toolbar is a choice that is kept, not replaced by the defaults.
    ToolbarConfiguration::save({});
    QCOMPARE(ToolbarConfiguration::load(), QStringList());
    auto window = makeWindow();
    QVERIFY(toolbarOf(*window)->actions().isEmpty());
}

void TestToolbarCustomization::savedArrangementsAreCleanedOnLoad()
{
    QSettings settings;
    settings.setValue("TallyfernDocument/items",
        QStringList { "zoomIn", "bogus", "space", "zoomIn", "space", "flexibleSpace", "trash" });
    settings.sync();
    QCOMPARE(
        ToolbarConfiguration::load(), (QStringList { "zoomIn", "space", "space", "flexibleSpace", "trash" }));

    settings.setValue("TallyfernDocument/items", 42); // not a list at all
    settings.sync();
    QCOMPARE(ToolbarConfiguration::load(), QStringList());
    auto window = makeWindow(); // no crash, an empty toolbar
    QVERIFY(toolbarOf(*window)->actions().isEmpty());
}

QTEST_MAIN(TestToolbarCustomization)
#include "tst_toolbarcustomization.moc"
