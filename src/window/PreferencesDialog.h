// SPDX-License-Identifier: MIT
#pragma once

#include "model/ScanPreferences.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPlainTextEdit;

// Edits the scan preferences: exclude patterns one a line, and whether scans enter other
// local file systems. OK keeps them only when every pattern is well formed; otherwise the
// dialog stays open and says which pattern is wrong and why. What the command line adds
// for the window is shown apart, read only: it is neither edited nor saved here. Main
// thread only.
class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PreferencesDialog(
        const ScanPreferences& preferences, const LaunchScanOptions& launch = {}, QWidget* parent = nullptr);

    // What the dialog holds now.
    [[nodiscard]] ScanPreferences preferences() const;

    void accept() override;

private:
    QPlainTextEdit* m_patterns;
    QCheckBox* m_cross;
    QLabel* m_problem;
};
