// SPDX-License-Identifier: MIT
#include "widgets/Fmt.h"

#include <QCoreApplication>
#include <QLocale>

#include <array>
#include <cmath>

namespace Fmt {

namespace {

// Drops trailing zeros of the fraction and then a bare decimal point, whatever the
// locale's decimal character.
QString trimFraction(QString text, QChar point)
{
    const qsizetype dot = text.lastIndexOf(point);
    if (dot < 0)
        return text;
    qsizetype end = text.size();
    while (end > dot + 1 && text[end - 1] == QLatin1Char('0'))
        --end;
    if (end == dot + 1)
        end = dot;
    text.truncate(end);
    return text;
}

} // namespace

QString bytes(std::int64_t count)
{
    const QLocale locale;
    // abs() of INT64_MIN overflows; a double holds its magnitude well enough.
    const double magnitude = std::fabs(static_cast<double>(count));
    if (magnitude < 1000) {
        const QString digits = locale.toString(static_cast<qlonglong>(count));
        return digits
            + (magnitude == 1 ? QCoreApplication::translate("Fmt", " byte")
                              : QCoreApplication::translate("Fmt", " bytes"));
    }
    static constexpr std::array<const char*, 5> kUnits { "KB", "MB", "GB", "TB", "PB" };
    static constexpr std::array<int, 5> kDigits { 0, 1, 2, 2, 2 };
    std::size_t unit = 0;
    double value = magnitude / 1000.0;
    while (unit + 1 < kUnits.size() && value >= 1000.0) {
        value /= 1000.0;
        ++unit;
    }
    // Rounding may reach the next unit (999,999 bytes is 1 MB, not 1,000 KB).
    const double scale = std::pow(10.0, kDigits[unit]);
    if (unit + 1 < kUnits.size() && std::round(value * scale) / scale >= 1000.0) {
        value /= 1000.0;
        ++unit;
    }
    const double signedValue = count < 0 ? -value : value;
    QString text = locale.toString(signedValue, 'f', kDigits[unit]);
    text = trimFraction(text, locale.decimalPoint().at(0));
    return text + QLatin1Char(' ') + QLatin1String(kUnits[unit]);
}

std::optional<QString> number(std::int64_t count)
{
    QString text = QLocale().toString(static_cast<qlonglong>(count));
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

QString count(std::int64_t count)
{
    return number(count).value_or(QString::number(count));
}

} // namespace Fmt
