// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QUrl>

// The fixed outward links of the product and its version string.
namespace Links {

[[nodiscard]] const QUrl& website();
[[nodiscard]] const QUrl& support();
[[nodiscard]] const QUrl& privacy();
// Where "Check for Updates…" leads: Linux installs updates through its package manager.
[[nodiscard]] const QUrl& releases();
[[nodiscard]] const QUrl& fullDiskAccessSettings();
[[nodiscard]] QString supportAddress();

// "short (build)"; a missing or empty part reads "dev" or "0".
[[nodiscard]] QString versionString(const char* shortVersion, const char* build);
// The version and build number this binary was built with.
[[nodiscard]] QString appVersion();

// The body of a feedback mail: three empty lines for the user's text, then a signature
// with version, system and processor architecture.
[[nodiscard]] QString feedbackBody(const QString& version);
// mailto: the support address with subject "Tallyfern feedback" and feedbackBody().
[[nodiscard]] QUrl feedbackEmail();

} // namespace Links
