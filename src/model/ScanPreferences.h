// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

#include <memory>

class ExcludePatterns;

// What scans started from a window leave out, and whether they enter other local file
// systems below their folder; kept with QSettings. Main thread only.
struct ScanPreferences {
    QStringList excludes; // exclude patterns, in order, as the user typed them
    bool crossFileSystems = false;

    [[nodiscard]] static ScanPreferences load();
    void save() const;

    // The patterns compiled, or null with the first malformed one and why in `problem`:
    // a list is used whole or not at all. Blank lines are skipped.
    [[nodiscard]] std::shared_ptr<const ExcludePatterns> compile(QString& problem) const;
};
