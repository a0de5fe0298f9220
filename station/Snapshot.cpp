// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/Snapshot.h"

#include "client/Values.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace {

const QString AmplifiersKey = QStringLiteral("amplifiers");
const QString HvKey = QStringLiteral("hv");
const QString NodeKey = QStringLiteral("node");

// Two numbers are the same setting when they agree far beyond the precision
// any device or panel writes them with.
constexpr double SameNumberTolerance = 1e-9;

bool readNumber(const QString &text, double &value)
{
    bool ok = false;
    value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value);
}

QString kindText(const SnapshotSetting &setting)
{
    switch (setting.kind) {
    case SnapshotSetting::Flag:
        return QStringLiteral("true, false or null");
    case SnapshotSetting::Choice:
        return QStringLiteral("one of \"%1\" or null")
            .arg(setting.choices.join(QStringLiteral("\", \"")));
    case SnapshotSetting::Number:
        return QStringLiteral("a number as text, or null");
    case SnapshotSetting::Text:
        break;
    }
    return QStringLiteral("a text or null");
}

// The first character below U+0020, and U+007F: none belongs in a value
// that goes onto the wire or into a line of output.
constexpr ushort FirstPrintable = 0x20;
constexpr ushort Delete = 0x7f;

bool isControl(QChar c)
{
    return c.unicode() < FirstPrintable || c.unicode() == Delete;
}

// The value of one setting as the file holds it, checked against its kind.
bool readValue(const SnapshotSetting &setting, const QJsonValue &raw, QJsonValue &out)
{
    if (raw.isNull() || raw.isUndefined()) {
        out = QJsonValue();
        return true;
    }
    switch (setting.kind) {
    case SnapshotSetting::Flag:
        out = raw;
        return raw.isBool();
    case SnapshotSetting::Number:
        // A script may well write a range as a JSON number.
        if (raw.isDouble()) {
            out = QString::number(raw.toDouble(), 'g', 17);
            return true;
        }
        out = raw;
        return raw.isString();
    case SnapshotSetting::Choice:
        out = raw;
        return raw.isString() && setting.choices.contains(raw.toString());
    case SnapshotSetting::Text:
        break;
    }
    out = raw;
    return raw.isString();
}

QJsonObject modulesObject(const QVector<SnapshotModule> &modules,
                          const QVector<SnapshotSetting> &settings)
{
    QJsonObject all;
    for (const SnapshotModule &module : modules) {
        QJsonObject object;
        object.insert(NodeKey, module.node);
        for (int i = 0; i < settings.size(); ++i)
            object.insert(QLatin1String(settings.at(i).key), module.values.value(i));
        all.insert(module.section, object);
    }
    return all;
}

bool readModules(const QJsonObject &root, SnapshotDifference::Scope scope,
                 QVector<SnapshotModule> &out, QVector<SnapshotRefusal> &refused, QString &error)
{
    const QString &key = scope == SnapshotDifference::Amplifier ? AmplifiersKey : HvKey;
    const QVector<SnapshotSetting> &settings = Snapshot::settings(scope);
    const QJsonValue all = root.value(key);
    if (all.isUndefined() || all.isNull())
        return true;
    if (!all.isObject()) {
        error = QStringLiteral("\"%1\" is not an object").arg(key);
        return false;
    }
    const QJsonObject modules = all.toObject();
    for (auto it = modules.begin(); it != modules.end(); ++it) {
        if (!it.value().isObject()) {
            error = QStringLiteral("%1 \"%2\" is not an object").arg(key, it.key());
            return false;
        }
        const QJsonObject object = it.value().toObject();
        SnapshotModule module;
        module.section = it.key();
        const QJsonValue node = object.value(NodeKey);
        if (!node.isUndefined() && !node.isNull() && !node.isString()) {
            error = QStringLiteral("%1 \"%2\": \"node\" is not a text").arg(key, it.key());
            return false;
        }
        module.node = node.toString();
        for (const SnapshotSetting &setting : settings) {
            QJsonValue value;
            if (!readValue(setting, object.value(QLatin1String(setting.key)), value)) {
                error = QStringLiteral("%1 \"%2\": \"%3\" must be %4")
                            .arg(key, it.key(), QLatin1String(setting.key), kindText(setting));
                return false;
            }
            const QString why = Snapshot::unusable(setting, value);
            if (!why.isEmpty()) {
                refused.append({scope, module.section, QLatin1String(setting.key), why});
                value = QJsonValue();
            }
            module.values.append(value);
        }
        out.append(module);
    }
    return true;
}

void compareModules(SnapshotDifference::Scope scope, const QVector<SnapshotModule> &saved,
                    const QVector<SnapshotModule> &live, QVector<SnapshotDifference> &out)
{
    const QVector<SnapshotSetting> &settings = Snapshot::settings(scope);
    QHash<QString, const SnapshotModule *> savedBySection;
    for (const SnapshotModule &module : saved)
        savedBySection.insert(module.section, &module);
    QHash<QString, bool> seen;
    for (const SnapshotModule &now : live) {
        const SnapshotModule *then = savedBySection.value(now.section);
        if (!then || seen.contains(now.section))
            continue;
        seen.insert(now.section, true);
        if (then->node != now.node)
            out.append({scope, now.section, NodeKey, -1, then->node, now.node});
        for (int i = 0; i < settings.size(); ++i) {
            const SnapshotSetting &setting = settings.at(i);
            const QJsonValue before = then->values.value(i);
            const QJsonValue after = now.values.value(i);
            if (!setting.compared || before.isNull() || Snapshot::sameValue(setting, before, after))
                continue;
            out.append({scope, now.section, QLatin1String(setting.key), i, before, after});
        }
    }
    // A module of the snapshot that the station no longer has.
    for (const SnapshotModule &then : saved) {
        if (!seen.contains(then.section))
            out.append(
                {scope, then.section, QStringLiteral("module"), -1, then.node, QJsonValue()});
    }
}

} // namespace

const QVector<SnapshotSetting> &Snapshot::ampSettings()
{
    // In the order of AmpSetting. A choice's words stand in the order of the
    // device's codes: filter mode Z 0 manual, 1 automatic; input I 0 front,
    // 1 rear; back light A 0 high, 1 low, 2 off.
    static const QVector<SnapshotSetting> table = {
        {"range", QT_TRANSLATE_NOOP("SnapshotTable", "Range"), SnapshotSetting::Number, true, {}},
        {"zeroCheck",
         QT_TRANSLATE_NOOP("SnapshotTable", "Zero check"),
         SnapshotSetting::Flag,
         true,
         {}},
        {"currentSuppression",
         QT_TRANSLATE_NOOP("SnapshotTable", "Current suppression"),
         SnapshotSetting::Flag,
         true,
         {}},
        {"suppressionValue",
         QT_TRANSLATE_NOOP("SnapshotTable", "Suppression value"),
         SnapshotSetting::Number,
         true,
         {}},
        {"filter", QT_TRANSLATE_NOOP("SnapshotTable", "Filter"), SnapshotSetting::Flag, true, {}},
        {"timeConstant",
         QT_TRANSLATE_NOOP("SnapshotTable", "Time constant"),
         SnapshotSetting::Number,
         true,
         {}},
        {"filterMode",
         QT_TRANSLATE_NOOP("SnapshotTable", "Filter mode"),
         SnapshotSetting::Choice,
         true,
         {QStringLiteral("manual"), QStringLiteral("auto")}},
        {"bias", QT_TRANSLATE_NOOP("SnapshotTable", "Bias"), SnapshotSetting::Flag, true, {}},
        {"biasVoltage",
         QT_TRANSLATE_NOOP("SnapshotTable", "Bias voltage"),
         SnapshotSetting::Number,
         true,
         {}},
        {"input",
         QT_TRANSLATE_NOOP("SnapshotTable", "Input"),
         SnapshotSetting::Choice,
         true,
         {QStringLiteral("front"), QStringLiteral("rear")}},
        {"backLight",
         QT_TRANSLATE_NOOP("SnapshotTable", "Back light"),
         SnapshotSetting::Choice,
         true,
         {QStringLiteral("high"), QStringLiteral("low"), QStringLiteral("off")}},
    };
    return table;
}

const QVector<SnapshotSetting> &Snapshot::hvSettings()
{
    // In the order of HvSetting.
    static const QVector<SnapshotSetting> table = {
        {"setV",
         QT_TRANSLATE_NOOP("SnapshotTable", "Set voltage"),
         SnapshotSetting::Number,
         true,
         {}},
        {"rampRate",
         QT_TRANSLATE_NOOP("SnapshotTable", "Ramp rate"),
         SnapshotSetting::Number,
         true,
         {}},
        {"status", QT_TRANSLATE_NOOP("SnapshotTable", "Status"), SnapshotSetting::Text, true, {}},
        {"voltage",
         QT_TRANSLATE_NOOP("SnapshotTable", "Voltage"),
         SnapshotSetting::Text,
         false,
         {}},
        {"maxV", QT_TRANSLATE_NOOP("SnapshotTable", "Max V"), SnapshotSetting::Text, false, {}},
        {"vLimit", QT_TRANSLATE_NOOP("SnapshotTable", "V limit"), SnapshotSetting::Text, false, {}},
    };
    return table;
}

const QVector<SnapshotSetting> &Snapshot::settings(SnapshotDifference::Scope scope)
{
    return scope == SnapshotDifference::Amplifier ? ampSettings() : hvSettings();
}

bool Snapshot::sameValue(const SnapshotSetting &setting, const QJsonValue &a, const QJsonValue &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if (setting.kind == SnapshotSetting::Number) {
        double x = 0;
        double y = 0;
        if (readNumber(a.toString(), x) && readNumber(b.toString(), y))
            return std::fabs(x - y) <= SameNumberTolerance * std::max(std::fabs(x), std::fabs(y));
    }
    return a == b;
}

QString Snapshot::valueText(const QJsonValue &value)
{
    if (value.isBool())
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.isString())
        return value.toString();
    return QStringLiteral("null");
}

QString Snapshot::printable(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (isControl(c))
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString Snapshot::unusable(const SnapshotSetting &setting, const QJsonValue &value)
{
    if (!value.isString())
        return QString();
    const QString text = value.toString();
    if (std::any_of(text.begin(), text.end(), isControl))
        return QStringLiteral("holds a control character");
    if (setting.kind == SnapshotSetting::Number && !Values::isNumber(text))
        return QStringLiteral("\"%1\" is not a number").arg(text);
    return QString();
}

QString SnapshotDifference::line() const
{
    return QStringList{Snapshot::printable(section), key,
                       Snapshot::printable(Snapshot::valueText(saved)),
                       Snapshot::printable(Snapshot::valueText(live))}
        .join(QLatin1Char('\t'));
}

QString SnapshotRefusal::line() const
{
    return QStringList{Snapshot::printable(section), key, why}.join(QLatin1Char('\t'));
}

int Snapshot::nullCount() const
{
    int count = 0;
    for (const QVector<SnapshotModule> *modules : {&amplifiers, &hv}) {
        for (const SnapshotModule &module : *modules) {
            for (const QJsonValue &value : module.values)
                count += value.isNull() ? 1 : 0;
        }
    }
    return count;
}

QByteArray Snapshot::toJson() const
{
    QJsonObject root;
    root.insert(QStringLiteral("format"), QLatin1String(Format));
    root.insert(QStringLiteral("taken"), taken);
    root.insert(QStringLiteral("station"), station);
    root.insert(QStringLiteral("server"), server);
    root.insert(AmplifiersKey, modulesObject(amplifiers, ampSettings()));
    root.insert(HvKey, modulesObject(hv, hvSettings()));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool Snapshot::fromJson(const QByteArray &json, Snapshot &out, QString &error)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (document.isNull()) {
        error = QStringLiteral("not JSON (%1 at byte %2)")
                    .arg(parseError.errorString())
                    .arg(parseError.offset);
        return false;
    }
    if (!document.isObject()) {
        error = QStringLiteral("not a snapshot: the JSON text is not an object");
        return false;
    }
    const QJsonObject root = document.object();
    const QJsonValue format = root.value(QStringLiteral("format"));
    if (format.toString() != QLatin1String(Format)) {
        error = format.isUndefined()
                    ? QStringLiteral("not a snapshot: no \"format\" key")
                    : QStringLiteral("format \"%1\" is not \"%2\"")
                          .arg(format.isDouble()   ? QString::number(format.toDouble())
                               : format.isString() ? format.toString()
                                                   : valueText(format),
                               QLatin1String(Format));
        return false;
    }
    Snapshot snapshot;
    snapshot.taken = root.value(QStringLiteral("taken")).toString();
    snapshot.station = root.value(QStringLiteral("station")).toString();
    snapshot.server = root.value(QStringLiteral("server")).toString();
    if (!readModules(root, SnapshotDifference::Amplifier, snapshot.amplifiers, snapshot.refused,
                     error) ||
        !readModules(root, SnapshotDifference::Hv, snapshot.hv, snapshot.refused, error))
        return false;
    out = snapshot;
    return true;
}

bool Snapshot::save(const QString &path, QString &error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    const QByteArray json = toJson();
    if (file.write(json) != json.size()) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

bool Snapshot::load(const QString &path, Snapshot &out, QString &error)
{
    // Looked at before it is opened: opening a pipe waits for a writer, and
    // a device or a pipe may never end. A missing file is left to open().
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        error = QStringLiteral("not a regular file");
        return false;
    }
    const QString tooLarge =
        QStringLiteral("not a snapshot: larger than %1 bytes").arg(MaxFileBytes);
    if (info.size() > MaxFileBytes) {
        error = tooLarge;
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    // It may have grown since it was looked at.
    const QByteArray json = file.read(MaxFileBytes + 1);
    if (json.size() > MaxFileBytes) {
        error = tooLarge;
        return false;
    }
    return fromJson(json, out, error);
}

QVector<SnapshotDifference> Snapshot::compare(const Snapshot &saved, const Snapshot &live)
{
    QVector<SnapshotDifference> out;
    compareModules(SnapshotDifference::Amplifier, saved.amplifiers, live.amplifiers, out);
    compareModules(SnapshotDifference::Hv, saved.hv, live.hv, out);
    return out;
}

QVector<SnapshotRefusal> Snapshot::elsewhere(const Snapshot &saved, const Snapshot &live)
{
    QVector<SnapshotRefusal> out;
    for (const auto scope : {SnapshotDifference::Amplifier, SnapshotDifference::Hv}) {
        const bool amplifiers = scope == SnapshotDifference::Amplifier;
        // The first module of a section counts, as in compare.
        QHash<QString, QString> liveNodes;
        for (const SnapshotModule &now : amplifiers ? live.amplifiers : live.hv) {
            if (!liveNodes.contains(now.section))
                liveNodes.insert(now.section, now.node);
        }
        for (const SnapshotModule &then : amplifiers ? saved.amplifiers : saved.hv) {
            const auto now = liveNodes.constFind(then.section);
            if (now == liveNodes.constEnd())
                out.append({scope, then.section, QStringLiteral("module"),
                            QStringLiteral("not in the station")});
            else if (then.node.isEmpty())
                out.append({scope, then.section, NodeKey,
                            QStringLiteral("the snapshot names no node for it")});
            else if (then.node != *now)
                out.append({scope, then.section, NodeKey,
                            QStringLiteral("taken of node %1, but the station's module is node %2")
                                .arg(printable(then.node), printable(*now))});
        }
    }
    return out;
}
