#pragma once

#include <QString>

// How the system reads numbers out of texts, from the configuration, the
// devices' replies or the operator's fields: a value that does not convert
// counts as 0. That includes nan and inf, which no device setting, range or
// voltage can be.
namespace Values {

// A decimal number with "." as decimal point and an optional exponent,
// surrounding blanks ignored; 0 when the text is not a finite number.
double toNumber(const QString &text);

// A base-10 integer, surrounding blanks ignored; 0 when it is not one.
int toInteger(const QString &text);

} // namespace Values
