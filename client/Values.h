// SPDX-License-Identifier: GPL-3.0-or-later
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

// Whether text is a finite decimal number just as it stands, with nothing
// around it: what a device writes (1e-08, -1500, 0.3), and what may go on
// the wire in place of one. toNumber would read "1 2 3" or "ERR" as 0.
bool isNumber(const QString &text);

// A base-10 integer, surrounding blanks ignored; 0 when it is not one.
int toInteger(const QString &text);

// A TCP port number: a base-10 integer from 1 to 65535, surrounding blanks
// ignored; 0 for anything else, so that a text such as 70000 never stands
// for its low 16 bits.
quint16 toPort(const QString &text);

} // namespace Values
