#include "client/MessageNames.h"

namespace MessageNames {
namespace {

struct Row
{
    const char *word;
    int id;
};

// Built once at program start and never changed; the lookup walks it in order
// up to the end row.
const Row table[] = {
    {"@IsBusy", 0},
    {"@GetStatus", 1},
    {"@GetRange", 2},
    {"@GetCurrentSurpressionValue", 3},
    {"@GetVoltageBiasRange", 4},
    {"@GetMaxV", 5},
    {"@GetVLimit", 6},
    {"@GetV", 7},
    {"@GetSetV", 8},
    {"@GetRamp", 9},
    {"@GetStat1", 10},
    {"@IsControllable", 11},
    {"_ChangedIsBusy", 12},
    {"_CurrentSurpressionValueChanged", 13},
    {"_StatusChanged", 14},
    {"_ErrorStatusChanged", 15},
    {"_VoltageBiasRangeChanged", 16},
    {"_TotalGainChanged", 17},
    {"_RangeChanged", 18},
    {"_ChangedOnOff", 19},
    {"_ChangedStat", 20},
    {"_ChangedValue", 21},
    {"_ChangedSetValue", 22},
    {"_ChangedRampRate", 23},
    {"@GetErrorStatus", GetErrorStatusId},
    {"@GetSRQ", GetSRQId},
    {"_SRQChanged", SRQChangedId},
    {nullptr, EndId},
};

} // namespace

int lookUp(const QString &message)
{
    for (const Row *row = table; row->word; ++row) {
        if (message == QLatin1String(row->word))
            return row->id;
    }
    return EndId;
}

bool isReplyId(int id)
{
    return (id >= 0 && id <= 11) || id == GetErrorStatusId || id == GetSRQId;
}

bool isEventId(int id)
{
    return (id >= 12 && id <= 23) || id == SRQChangedId;
}

} // namespace MessageNames
