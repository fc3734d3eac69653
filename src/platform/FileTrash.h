// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>
#include <string>
#include <string_view>

// Moves files and folders to the freedesktop.org trash: the home trash in the XDG data
// home, or a volume's .Trash/<uid> or .Trash-<uid> folder. It never deletes: an item
// either ends up directly inside a trash `files` folder or stays where it was.
//
// Paths are the file system's bytes, so names that are not UTF-8 reach the real file.
// Main thread or any other; instances hold no state besides the mover.
class FileTrash {
public:
    struct Outcome {
        bool moved = false;
        std::string location; // where the item is now: inside the trash when moved
        QString reason; // why it did not move; empty when it did
    };
    // The raw move, with the contract of QFile::moveToTrash: on success the reported
    // location (possibly relative to the working folder). Tests replace it.
    using Mover = std::function<Outcome(const std::string& path)>;

    explicit FileTrash(Mover mover = {});

    // Creates the XDG data home first (without it Qt's move reports success after
    // moving the item into files/ of the working folder), then moves. A reported
    // location outside a trash folder is a failure, and the item is moved back.
    [[nodiscard]] Outcome moveToTrash(const std::string& path) const;

    // The system's move: Qt's for names it can represent, a byte-exact move with the
    // same trash layout for symbolic links and for names that do not survive decoding
    // or are too long for the trash's info file.
    [[nodiscard]] static Outcome systemMove(const std::string& path);

    // True when `location` (absolute) names an item directly inside a `Trash/files`,
    // `.Trash/<uid>/files` or `.Trash-<uid>/files` folder.
    [[nodiscard]] static bool isTrashLocation(std::string_view location, unsigned uid);

private:
    Mover m_mover;
};
