// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLatin1String>
#include <QString>
#include <QStringList>
#include <array>

// What the CA5350 amplifier's replies mean, without any widget: its status
// text, its error status and the matching of a reported range against the
// ranges the panel offers. The panel (aCA) decodes through these and only
// moves its widgets; the rules can so be tested without a socket or a form.
namespace CA5350 {

// Every status and error-status text of the model begins with its name.
inline QLatin1String modelPrefix()
{
    return QLatin1String("CA5350");
}

// The letters of the status text, in the order they are kept.
enum Letter { A, B, C, H, I, J, K, M, N, P, R, S, T, W, Y, Z, LetterCount };

// One decoded status text: the text after the model name and, per letter,
// the capture of its first occurrence (empty when the letter is missing).
class Status
{
public:
    // An invalid status when the text does not begin with the model name.
    static Status fromText(const QString &text);

    bool isValid() const { return valid; }
    QString body() const { return rest; }
    QString capture(Letter letter) const { return captures.at(letter); }
    // The capture of a letter given as a character, or the empty text for a
    // character that is no status letter.
    QString capture(QChar letter) const;
    // A capture as a base-10 integer; an empty or non-numeric one is 0.
    int value(Letter letter) const;
    bool isOne(Letter letter) const { return value(letter) == 1; }
    // The time-constant selector's index for the T code: "." is 0, "/" is 1
    // and a digit d is d + 2 (a missing code reads as 0, so 2).
    int timeConstantIndex() const;

private:
    bool valid = false;
    QString rest;
    std::array<QString, LetterCount> captures;
};

// A decoded error-status text: the text after the model name and the
// message of the last error position holding 1 (a source text of the
// translation context "aCA"), or nullptr when none does.
struct ErrorStatus
{
    bool valid = false;
    QString body;
    const char *message = nullptr;
};
ErrorStatus decodeErrorStatus(const QString &text);

// The index of the first range whose text reads as exactly the reported
// value, or -1 when none does.
int exactRangeIndex(const QStringList &ranges, double reported);
// The index of the range nearest to the reported value, the first one on a
// tie; 0 when there are no ranges.
int nearestRangeIndex(const QStringList &ranges, double reported);

} // namespace CA5350
