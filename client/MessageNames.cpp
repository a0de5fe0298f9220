// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/MessageNames.h"

#include "client/Tesra.h"

#include <QHash>
#include <iterator>

namespace MessageNames {
namespace {

enum class Kind { Reply, Event, End };

struct Row
{
    const char *word;
    Kind kind;
    Signal signal;
};

// Built at compile time and never changed; the lookup indexes it once.
constexpr Row table[] = {
    {"@IsBusy", Kind::Reply, &Tesra::AnsIsBusy},
    {"@GetStatus", Kind::Reply, &Tesra::AnsGetStatus},
    {"@GetRange", Kind::Reply, &Tesra::AnsGetRange},
    {"@GetCurrentSurpressionValue", Kind::Reply, &Tesra::AnsGetCurrentSurpressionValue},
    {"@GetVoltageBiasRange", Kind::Reply, &Tesra::AnsGetVoltageBiasRange},
    {"@GetMaxV", Kind::Reply, &Tesra::AnsGetMaxV},
    {"@GetVLimit", Kind::Reply, &Tesra::AnsGetVLimit},
    {"@GetV", Kind::Reply, &Tesra::AnsGetV},
    {"@GetSetV", Kind::Reply, &Tesra::AnsGetSetV},
    {"@GetRamp", Kind::Reply, &Tesra::AnsGetRamp},
    {"@GetStat1", Kind::Reply, &Tesra::AnsGetStat1},
    {"@IsControllable", Kind::Reply, &Tesra::AnsIsControllable},
    {"_ChangedIsBusy", Kind::Event, &Tesra::EvIsBusy},
    {"_CurrentSurpressionValueChanged", Kind::Event, &Tesra::EvCurrentSurpressionValueChanged},
    {"_StatusChanged", Kind::Event, &Tesra::EvStatusChanged},
    {"_ErrorStatusChanged", Kind::Event, &Tesra::EvErrorStatusChanged},
    {"_VoltageBiasRangeChanged", Kind::Event, &Tesra::EvVoltageBiasRangeChanged},
    {"_TotalGainChanged", Kind::Event, &Tesra::EvTotalGainChanged},
    {"_RangeChanged", Kind::Event, &Tesra::EvRangeChanged},
    {"_ChangedOnOff", Kind::Event, &Tesra::EvChangedOnOff},
    {"_ChangedStat", Kind::Event, &Tesra::EvChangedStat},
    {"_ChangedValue", Kind::Event, &Tesra::EvChangedValue},
    {"_ChangedSetValue", Kind::Event, &Tesra::EvChangedSetValue},
    {"_ChangedRampRate", Kind::Event, &Tesra::EvChangedRampRate},
    // The end row: its id is the one of every word that is in no row.
    {nullptr, Kind::End, nullptr},
    // The amplifier's error status and overload alerts, added later.
    {"@GetErrorStatus", Kind::Reply, &Tesra::AnsGetErrorStatus},
    {"@GetSRQ", Kind::Reply, &Tesra::AnsGetSRQ},
    {"_SRQChanged", Kind::Event, &Tesra::EvSRQChanged},
};

constexpr int rowCount = int(std::size(table));

constexpr int endRow()
{
    for (int id = 0; id < rowCount; ++id) {
        if (table[id].kind == Kind::End)
            return id;
    }
    return rowCount;
}

// Every row but the end row has a word, its word's first
// character matches its kind, and there is exactly one end row.
constexpr bool wellFormed()
{
    int ends = 0;
    for (const Row &row : table) {
        if (row.kind == Kind::End) {
            ++ends;
            if (row.word)
                return false;
            continue;
        }
        // The signal is not looked at here: with UndefinedBehaviorSanitizer
        // gcc cannot fold a member-function-pointer comparison, and the
        // sanitized build would not compile. tst_smsg checks that every
        // row has a signal of its own.
        if (!row.word)
            return false;
        if (row.word[0] != (row.kind == Kind::Reply ? '@' : '_'))
            return false;
    }
    return ends == 1;
}
static_assert(wellFormed(), "every routed word needs the prefix of its kind");

const Row *rowAt(int id)
{
    return id >= 0 && id < rowCount ? &table[id] : nullptr;
}

} // namespace

const int EndId = endRow();
const int IdCount = rowCount;

int lookUp(const QString &message)
{
    // Every routed line is looked up, so the words are indexed once, from the
    // table itself; the first row of a word wins, as in a walk in order.
    static const QHash<QString, int> index = [] {
        QHash<QString, int> byWord;
        for (int id = 0; id < rowCount; ++id) {
            if (!table[id].word)
                continue;
            const QString word = QString::fromLatin1(table[id].word);
            if (!byWord.contains(word))
                byWord.insert(word, id);
        }
        return byWord;
    }();
    return index.value(message, EndId);
}

bool isReplyId(int id)
{
    const Row *row = rowAt(id);
    return row && row->kind == Kind::Reply;
}

bool isEventId(int id)
{
    const Row *row = rowAt(id);
    return row && row->kind == Kind::Event;
}

QLatin1String word(int id)
{
    const Row *row = rowAt(id);
    return row && row->word ? QLatin1String(row->word) : QLatin1String();
}

Signal signalFor(int id)
{
    const Row *row = rowAt(id);
    return row ? row->signal : nullptr;
}

} // namespace MessageNames
