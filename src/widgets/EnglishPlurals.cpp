// SPDX-License-Identifier: MIT
#include "widgets/EnglishPlurals.h"

#include <climits>

QString EnglishPlurals::translate(const char*, const char* sourceText, const char*, int n) const
{
    if (n != 1 || !sourceText)
        return {};
    QString text = QString::fromUtf8(sourceText);
    const qsizetype start = text.indexOf(QLatin1String("%1 "));
    if (start < 0)
        return {};
    qsizetype end = start + 3;
    while (end < text.size() && text[end].isLetter())
        ++end;
    if (end == start + 3 || text[end - 1] != QLatin1Char('s'))
        return {};
    return text.remove(end - 1, 1);
}

int EnglishPlurals::numerus(std::int64_t count)
{
    if (count >= 0 && count <= INT_MAX)
        return int(count);
    // Plural rules look at the last two or three digits, and at whether a count is large.
    return int(1'000'000 + (count < 0 ? -(count % 1'000'000) : count % 1'000'000));
}
