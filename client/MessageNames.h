#pragma once

#include <QString>

// The message-name table: the reply and event words that the client routes,
// each with its dispatch id. Ids 0 to 23 are the original words; the three
// words for error status and overload alerts were added later with ids after
// the end marker, so that the original ids never move.
namespace MessageNames {

constexpr int EndId = 24; // id of a word that is in no row
constexpr int GetErrorStatusId = 25;
constexpr int GetSRQId = 26;
constexpr int SRQChangedId = 27;

// The id of the first row whose word equals message exactly, or EndId.
int lookUp(const QString &message);

// True for the ids of reply rows ("@" words) and of event rows ("_" words).
bool isReplyId(int id);
bool isEventId(int id);

} // namespace MessageNames
