// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLatin1String>
#include <QString>

class SMsg;
class Tesra;

// The routing table of the client: every reply and event word it routes, with
// its dispatch id, its kind and the signal of Tesra it is emitted as. The
// rows live in one list (MessageNames.cpp); the word lookup, the reply and
// event id ranges and the signal dispatch all read that list, so a word is
// added in one place.
//
// A row's id is its place in the list. The end row comes after the original
// words; words added later follow it, so that the original ids never move and
// a word that is in no row gets the end row's id.
namespace MessageNames {

using Signal = void (Tesra::*)(SMsg);

// The id of a word that is in no row.
extern const int EndId;
// One past the last id of the table, the end row's included.
extern const int IdCount;

// The id of the first row whose word equals message exactly, or EndId.
int lookUp(const QString &message);

// True for the ids of reply rows ("@" words) and of event rows ("_" words).
bool isReplyId(int id);
bool isEventId(int id);

// The word of a row (empty for the end row and for ids outside the table).
QLatin1String word(int id);
// The signal a routed line of the id is emitted as, or nullptr when the id
// has no row.
Signal signalFor(int id);

} // namespace MessageNames
