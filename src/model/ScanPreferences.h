// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

#include <memory>
#include <string>
#include <vector>

class ExcludePatterns;

// The scan options of the command line, for the windows it opens: used by every scan of
// those windows on top of the kept preferences, never saved.
struct LaunchScanOptions {
    std::vector<std::string> excludes; // bytes, each as ExcludePatterns::add takes it
    bool crossFileSystems = false;

    [[nodiscard]] bool empty() const { return excludes.empty() && !crossFileSystems; }
};

// What scans started from a window leave out, and whether they enter other local file
// systems below their folder; kept with QSettings. Main thread only.
struct ScanPreferences {
    QStringList excludes; // exclude patterns, in order, as the user typed them
    bool crossFileSystems = false;

    [[nodiscard]] static ScanPreferences load();
    void save() const;

    // The patterns compiled, then `after`, or null with the first
    // malformed one and why in `problem`: a list is used whole or not at all. Blank lines
    // are skipped. Coming last, a "!" of `after` brings back what the kept list leaves out.
    [[nodiscard]] std::shared_ptr<const ExcludePatterns> compile(
        QString& problem, const std::vector<std::string>& after = {}) const;
};
