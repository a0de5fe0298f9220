// SPDX-License-Identifier: GPL-3.0-or-later
// The amplifier's status and error-status decoding and the range matching,
// fed arbitrary texts and numbers.
//
// Checked: a text decodes exactly when it begins with the model name, the
// body is the text after it, every capture is digits (the T code one
// character of ".", "/" or a digit) found in the body, and the range indexes
// stay inside the list.

#include "FuzzSupport.h"
#include "devices/CA5350Status.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

using FuzzSupport::check;

bool allDigits(const QString &text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const double reported = input.ConsumeFloatingPoint<double>();
    QStringList ranges;
    for (int n = input.ConsumeIntegralInRange<int>(0, 6); n > 0; --n) {
        const std::string range = input.ConsumeRandomLengthString(16);
        ranges.append(QString::fromUtf8(range.data(), int(range.size())));
    }
    const std::string rest = input.ConsumeRemainingBytesAsString();
    const QString text = QString::fromUtf8(rest.data(), int(rest.size()));
    // Half of the inputs get the model name, so that the decoding is reached.
    const QString full = (size % 2 ? QString(CA5350::modelPrefix()) : QString()) + text;

    const CA5350::Status status = CA5350::Status::fromText(full);
    check(status.isValid() == full.startsWith(CA5350::modelPrefix()), "validity is not the prefix");
    if (status.isValid()) {
        check(status.body() == full.mid(CA5350::modelPrefix().size()), "body is not the rest");
        for (int k = 0; k < CA5350::LetterCount; ++k) {
            const QString capture = status.capture(CA5350::Letter(k));
            if (k == CA5350::T)
                check(capture.size() <= 1 && (capture.isEmpty() || capture == QLatin1String(".") ||
                                              capture == QLatin1String("/") || allDigits(capture)),
                      "T code is not one code character");
            else
                check(allDigits(capture), "capture is not digits");
            check(capture.isEmpty() || status.body().contains(capture), "capture not in the body");
        }
        const int tc = status.timeConstantIndex();
        check(tc >= 0 && tc <= 11, "time-constant index out of its codes");
    }

    const CA5350::ErrorStatus error = CA5350::decodeErrorStatus(full);
    check(error.valid == full.startsWith(CA5350::modelPrefix()),
          "error validity is not the prefix");
    if (!error.valid)
        check(error.message == nullptr, "a message for another model");

    const int exact = CA5350::exactRangeIndex(ranges, reported);
    check(exact >= -1 && exact < ranges.size(), "exact range index out of the list");
    const int nearest = CA5350::nearestRangeIndex(ranges, reported);
    check(ranges.isEmpty() ? nearest == 0 : (nearest >= 0 && nearest < ranges.size()),
          "nearest range index out of the list");
    return 0;
}
