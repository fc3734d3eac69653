// SPDX-License-Identifier: MIT
#pragma once

#include <QTranslator>

#include <cstdint>

// The English plural forms of texts translated with a count (tr(text, nullptr, n)): the
// source texts are written in the plural ("%1 files · %2"), and for a count of one the
// word after the first "%1 " drops its plural "s" ("1 file · 2 KB"). Installed before
// any translation of the user's language, which then takes precedence with its own forms.
class EnglishPlurals : public QTranslator {
    Q_OBJECT
public:
    using QTranslator::QTranslator;

    [[nodiscard]] QString translate(
        const char* context, const char* sourceText, const char* disambiguation, int n) const override;
    [[nodiscard]] bool isEmpty() const override { return false; }

    // The count handed to tr() for `count`: counts beyond an int keep the last digits
    // that plural rules look at.
    [[nodiscard]] static int numerus(std::int64_t count);
};
