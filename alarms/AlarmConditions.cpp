// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/AlarmConditions.h"

#include <iterator>

namespace AlarmConditions {

const char OffWord[] = "off";

namespace {

struct Row
{
    Condition condition;
    const char *name;
    Severity severity;
    Owner owner;
};

// In the order of Condition.
constexpr Row Rows[] = {
    // A status word other than ON, OFF, L2H, H2L: the module tripped or
    // reports an interlock; at once.
    {Condition::HvFault, "hv-fault", Severity::Major, Owner::HvModule},
    // On, but away from its set voltage for longer than the alarm delay.
    {Condition::HvDeviation, "hv-deviation", Severity::Minor, Owner::HvModule},
    // The amplifier's overload alert; at once.
    {Condition::AmpOverload, "amp-overload", Severity::Major, Owner::Amplifier},
    // The module's node has stopped answering.
    {Condition::Silent, "silent", Severity::Minor, Owner::AnyModule},
    // The link to the message server is down: one alarm for the station.
    {Condition::LinkLost, "link-lost", Severity::Major, Owner::Station},
};
static_assert(int(std::size(Rows)) == ConditionCount, "one row per condition");

const Row &row(Condition condition)
{
    return Rows[int(condition)];
}

struct SeverityName
{
    Severity severity;
    const char *name;
};

constexpr SeverityName SeverityNames[] = {{Severity::Minor, "minor"}, {Severity::Major, "major"}};

} // namespace

QString name(Condition condition)
{
    return QLatin1String(row(condition).name);
}

bool fromName(const QString &text, Condition &condition)
{
    for (const Row &r : Rows) {
        if (text == QLatin1String(r.name)) {
            condition = r.condition;
            return true;
        }
    }
    return false;
}

Severity severity(Condition condition)
{
    return row(condition).severity;
}

QString severityName(Severity value)
{
    for (const SeverityName &s : SeverityNames) {
        if (s.severity == value)
            return QLatin1String(s.name);
    }
    return QString();
}

bool severityFromName(const QString &text, Severity &value)
{
    for (const SeverityName &s : SeverityNames) {
        if (text == QLatin1String(s.name)) {
            value = s.severity;
            return true;
        }
    }
    return false;
}

bool appliesTo(Condition condition, ModuleKind kind)
{
    switch (row(condition).owner) {
    case Owner::HvModule:
        return kind == ModuleKind::Hv;
    case Owner::Amplifier:
        return kind == ModuleKind::Amplifier;
    case Owner::AnyModule:
        return true;
    case Owner::Station:
        break;
    }
    return false;
}

Condition alertOf(ModuleKind kind)
{
    return kind == ModuleKind::Hv ? Condition::HvFault : Condition::AmpOverload;
}

Set Set::allOf(ModuleKind kind)
{
    Set all;
    for (const Row &r : Rows) {
        if (appliesTo(r.condition, kind))
            all.insert(r.condition);
    }
    return all;
}

Set Set::of(Condition condition)
{
    Set one;
    one.insert(condition);
    return one;
}

QStringList Set::names() const
{
    QStringList out;
    for (const Row &r : Rows) {
        if (contains(r.condition))
            out.append(QLatin1String(r.name));
    }
    return out;
}

Set readList(const QStringList *list, ModuleKind kind, QStringList &rejected)
{
    rejected.clear();
    if (!list)
        return Set::allOf(kind);
    Set chosen;
    if (list->size() == 1 &&
        list->first().compare(QLatin1String(OffWord), Qt::CaseInsensitive) == 0)
        return chosen;
    for (const QString &word : *list) {
        Condition condition = Condition::HvFault;
        if (fromName(word, condition) && appliesTo(condition, kind))
            chosen.insert(condition);
        else
            rejected.append(word);
    }
    return chosen;
}

} // namespace AlarmConditions
