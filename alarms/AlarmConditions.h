// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The conditions Brenlow watches by itself, in one table: each with the name
// it goes by in the station file, the command log and the archive, its
// severity, and the kind of module it belongs to (the link alarm belongs to
// the station as a whole).
namespace AlarmConditions {

enum class Condition { HvFault, HvDeviation, AmpOverload, Silent, LinkLost };
constexpr int ConditionCount = int(Condition::LinkLost) + 1;

enum class Severity { Minor, Major };

// Who a condition belongs to.
enum class Owner { HvModule, Amplifier, AnyModule, Station };

enum class ModuleKind { Hv, Amplifier };

QString name(Condition condition);
bool fromName(const QString &name, Condition &condition);
Severity severity(Condition condition);
QString severityName(Severity severity);
bool severityFromName(const QString &name, Severity &severity);
// Whether a module of kind can have the condition; the link alarm belongs to
// no module.
bool appliesTo(Condition condition, ModuleKind kind);
// The condition a device's alert stands for: an HV module's fault, an
// amplifier's overload.
Condition alertOf(ModuleKind kind);

// A set of conditions, as a module section's "Alarms" key names them.
class Set
{
public:
    Set() = default;
    // Every condition a module of kind can have: what a module watches when
    // its section says nothing.
    static Set allOf(ModuleKind kind);
    static Set of(Condition condition);

    bool contains(Condition condition) const { return (bits & bit(condition)) != 0; }
    void insert(Condition condition) { bits |= bit(condition); }
    Set &operator|=(Set other)
    {
        bits |= other.bits;
        return *this;
    }
    bool isEmpty() const { return bits == 0; }
    bool operator==(const Set &other) const { return bits == other.bits; }
    bool operator!=(const Set &other) const { return bits != other.bits; }
    // The names, in the table's order.
    QStringList names() const;

private:
    static quint32 bit(Condition condition) { return quint32(1) << int(condition); }
    quint32 bits = 0;
};

// The word of the "Alarms" key that turns every condition of a module off.
extern const char OffWord[];

// Reads a module's "Alarms" list: absent (null), every condition of its
// kind; "off", none; else the conditions named. Names that are no condition,
// or one the module cannot have, are left out and returned in rejected.
Set readList(const QStringList *list, ModuleKind kind, QStringList &rejected);

} // namespace AlarmConditions
