// SPDX-License-Identifier: MIT
#pragma once

#include <QUrl>

#include <functional>

// Tells whether the application may read everything. Only the outcome of opening the
// probe file read-only counts; the file is never read. On Linux the probe file does not
// exist, so the probe reports Unknown and no notice is shown.
class FullDiskAccessProbe {
public:
    enum class Outcome { Granted, Missing, Unknown };

    // Opens `path` read-only; returns 0 when it opened (and was closed again), else errno.
    using Opener = std::function<int(const char* path)>;

    explicit FullDiskAccessProbe(Opener opener = {});

    [[nodiscard]] Outcome run() const;
    // The notice is shown only for a permission failure.
    [[nodiscard]] bool accessMissing() const { return run() == Outcome::Missing; }

    [[nodiscard]] static const char* probePath();
    [[nodiscard]] static QUrl settingsUrl();

private:
    Opener m_opener;
};
