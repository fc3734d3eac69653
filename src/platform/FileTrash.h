// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>
#include <string>

// Moves files and folders to the freedesktop.org trash: the home trash in the XDG data
// home, or the volume's .Trash/<uid> or .Trash-<uid> folder. It never deletes: an item
// either ends up directly inside a trash `files` folder or stays where it was.
//
// Another user may share the volume and plant links or folders in advance, so every
// folder on the way is opened without following a link and checked on its descriptor,
// and the move acts through those descriptors only: nothing swapped in after the checks
// can redirect it. A trash folder that fails a check is never used.
//
// Paths are the file system's bytes, so names that are not UTF-8 reach the real file.
// Any thread; an instance holds nothing but its hook.
class FileTrash {
public:
    struct Outcome {
        bool moved = false;
        std::string location; // where the item is now: inside the trash when moved
        QString reason; // why it did not move; empty when it did
    };
    // Runs once every folder involved has been opened and checked, just before the item
    // is renamed; tests change the disk here.
    using Hook = std::function<void()>;

    explicit FileTrash(Hook beforeMove = {});

    [[nodiscard]] Outcome moveToTrash(const std::string& path) const;

private:
    Hook m_beforeMove;
};
