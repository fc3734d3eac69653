// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>

// One row of the volume chooser: a mounted volume or the home folder.
struct Volume {
    std::string path; // root of the volume, or the home folder (bytes)
    QString name;
    QIcon icon;
    std::optional<std::int64_t> total; // capacity in bytes
    std::optional<std::int64_t> free; // what the user may still write
};
