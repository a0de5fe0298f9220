// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/CA5350Status.h"

#include "client/Values.h"

#include <QRegularExpression>
#include <cmath>

namespace CA5350 {
namespace {

const char StatusLetters[] = "ABCHIJKMNPRSTWYZ";
static_assert(sizeof(StatusLetters) == LetterCount + 1, "one character per status letter");

// Compiled once for the life of the program; every status reply runs all of them.
const std::array<QRegularExpression, LetterCount> &statusPatterns()
{
    static const std::array<QRegularExpression, LetterCount> patterns = [] {
        std::array<QRegularExpression, LetterCount> all;
        for (int k = 0; k < LetterCount; ++k) {
            const QString body = k == T ? QStringLiteral("([\\./\\d])") : QStringLiteral("(\\d+)");
            all[k] = QRegularExpression(QLatin1Char(StatusLetters[k]) + body);
            all[k].optimize();
        }
        return all;
    }();
    return patterns;
}

// The error-status positions that are read and their texts; a later
// position with a 1 overrides an earlier one.
struct ErrorBit
{
    int position;
    const char *text;
};

const ErrorBit ErrorBits[] = {
    {0, QT_TRANSLATE_NOOP("aCA", "Er: CMD")},
    {1, QT_TRANSLATE_NOOP("aCA", "Er: CMD Arg")},
    {3, QT_TRANSLATE_NOOP("aCA", "Er: Self CHK")},
    {4, QT_TRANSLATE_NOOP("aCA", "Er: CSpr Set")},
    {5, QT_TRANSLATE_NOOP("aCA", "Er: CSpr Over")},
    {6, QT_TRANSLATE_NOOP("aCA", "Er: AutoCSpr while ZeroCHK")},
    {8, QT_TRANSLATE_NOOP("aCA", "Er: Mem Err")},
    {9, QT_TRANSLATE_NOOP("aCA", "Er: Over!")},
};

// The digit at a position of the error body; a missing or non-digit
// character counts as 0.
int digitAt(const QString &body, int position)
{
    if (position >= body.size())
        return 0;
    const QChar c = body.at(position);
    return c >= QLatin1Char('0') && c <= QLatin1Char('9') ? c.unicode() - '0' : 0;
}

} // namespace

Status Status::fromText(const QString &text)
{
    Status status;
    if (!text.startsWith(modelPrefix()))
        return status;
    status.valid = true;
    status.rest = text.mid(modelPrefix().size());
    const auto &patterns = statusPatterns();
    for (int k = 0; k < LetterCount; ++k)
        status.captures[k] = patterns[k].match(status.rest).captured(1);
    return status;
}

QString Status::capture(QChar letter) const
{
    for (int k = 0; k < LetterCount; ++k) {
        if (QLatin1Char(StatusLetters[k]) == letter)
            return captures[k];
    }
    return QString();
}

int Status::value(Letter letter) const
{
    return Values::toInteger(captures.at(letter));
}

int Status::timeConstantIndex() const
{
    const QString &code = captures[T];
    if (code == QLatin1String("."))
        return 0;
    if (code == QLatin1String("/"))
        return 1;
    // The two codes above stand before the ten digits in the selector.
    return Values::toInteger(code) + 2;
}

ErrorStatus decodeErrorStatus(const QString &text)
{
    ErrorStatus error;
    if (!text.startsWith(modelPrefix()))
        return error;
    error.valid = true;
    error.body = text.mid(modelPrefix().size());
    for (const ErrorBit &bit : ErrorBits) {
        if (digitAt(error.body, bit.position) == 1)
            error.message = bit.text;
    }
    return error;
}

int exactRangeIndex(const QStringList &ranges, double reported)
{
    for (int i = 0; i < ranges.size(); ++i) {
        if (ranges.at(i).toDouble() == reported)
            return i;
    }
    return -1;
}

int nearestRangeIndex(const QStringList &ranges, double reported)
{
    // Farther than any two ranges are apart; only a strictly nearer range
    // replaces the choice, so the first one wins a tie.
    constexpr double FarAway = 1e300;
    double best = FarAway;
    int chosen = 0;
    for (int i = 0; i < ranges.size(); ++i) {
        const double distance = std::fabs(ranges.at(i).toDouble() - reported);
        if (distance < best) {
            best = distance;
            chosen = i;
        }
    }
    return chosen;
}

} // namespace CA5350
