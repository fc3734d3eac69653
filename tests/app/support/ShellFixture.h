// SPDX-License-Identifier: MIT
#pragma once

#include "app/AppDelegate.h"

#include <QTemporaryDir>
#include <QUrl>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// Small real folders to scan and an AppDelegate with a fixed outside world: one disk and
// one stick in the mount table, links and the open panel go nowhere, and quitting is
// counted instead of ending the test program.
class ShellFixture {
public:
    ShellFixture();

    // Absolute path of fixture folder `name` ("a", "b" or "c"), holding a few files.
    [[nodiscard]] std::string folder(const char* name) const;

    [[nodiscard]] AppDelegate::Environment environment();

    std::shared_ptr<int> terminations = std::make_shared<int>(0);

    // Sets up QSettings and QStandardPaths for a test program; call from initTestCase.
    static void isolateSettings(const char* program);

private:
    QTemporaryDir m_dir;
};
