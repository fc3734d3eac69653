// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

class QLabel;

// The About box: icon, name, version and the credits, a link to the website.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // The application's icon, also where no icon theme or window icon provides it.
    [[nodiscard]] static QIcon applicationIcon();

    [[nodiscard]] QLabel* versionLabel() const { return m_version; }
    [[nodiscard]] QLabel* creditsLabel() const { return m_credits; }

private:
    QLabel* m_version = nullptr;
    QLabel* m_credits = nullptr;
};
