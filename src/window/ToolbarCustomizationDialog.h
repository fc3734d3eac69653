// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

// Lets the user choose the items of the document toolbar and their order: the command
// items plus flexible and fixed spaces on the left, the toolbar's items on the right
// (reordered with the buttons or by dragging). OK saves the choice under the toolbar's
// identifier; Restore Defaults puts the default arrangement back.
class ToolbarCustomizationDialog : public QDialog {
    Q_OBJECT
public:
    explicit ToolbarCustomizationDialog(const QStringList& current, QWidget* parent = nullptr);

    // The arrangement as it stands in the dialog.
    [[nodiscard]] QStringList chosenItems() const;

    QListWidget* availableList() const { return m_available; }
    QListWidget* toolbarList() const { return m_toolbar; }

    void accept() override;

signals:
    // Emitted after OK saved the arrangement.
    void itemsChosen(const QStringList& identifiers);

private:
    void setItems(const QStringList& identifiers);
    void addSelected();
    void removeSelected();
    void moveSelected(int delta);
    void updateButtons();

    QListWidget* m_available = nullptr;
    QListWidget* m_toolbar = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_up = nullptr;
    QPushButton* m_down = nullptr;
};
