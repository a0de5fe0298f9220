// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/History.h"

#include "client/Values.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace {

// One table of the names that stand in the archive and the export.
struct QuantityName
{
    History::Quantity quantity;
    const char *name;
};
constexpr std::array<QuantityName, 4> QuantityNames{{
    {History::Quantity::Voltage, "voltage"},
    {History::Quantity::Status, "status"},
    {History::Quantity::Range, "range"},
    {History::Quantity::Overload, "overload"},
}};

struct KindName
{
    History::EventKind kind;
    const char *name;
};
constexpr std::array<KindName, 14> KindNames{{
    {History::EventKind::Status, "status"},
    {History::EventKind::OverloadSet, "overload-set"},
    {History::EventKind::OverloadCleared, "overload-cleared"},
    {History::EventKind::Range, "range"},
    {History::EventKind::LinkReady, "link-ready"},
    {History::EventKind::LinkLost, "link-lost"},
    {History::EventKind::LinkRefused, "link-refused"},
    {History::EventKind::Silent, "silent"},
    {History::EventKind::SamplesDropped, "samples-dropped"},
    {History::EventKind::AlarmRaised, "alarm-raised"},
    {History::EventKind::AlarmCleared, "alarm-cleared"},
    {History::EventKind::AlarmAcknowledged, "alarm-acknowledged"},
    {History::EventKind::AlarmShelved, "alarm-shelved"},
    {History::EventKind::AlarmUnshelved, "alarm-unshelved"},
}};

qint64 bucketStart(qint64 t)
{
    // Floor division, so that times before the epoch still fall in order.
    const qint64 q = t / History::BucketMs;
    return (t % History::BucketMs < 0 ? q - 1 : q) * History::BucketMs;
}

// A plain decimal number, as devices send their values, read without
// Qt's general number parser: the recorder reads one per routed line. Any
// other text is read by the program's own rule.
double readNumber(const QString &text)
{
    constexpr int MaxLength = 64;
    const int n = text.size();
    if (n > 0 && n < MaxLength) {
        std::array<char, MaxLength> bytes{};
        int length = 0;
        for (int i = 0; i < n; ++i) {
            const ushort c = text.at(i).unicode();
            if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'e' || c == 'E' ||
                  (c == '+' && i > 0)))
                break;
            bytes[size_t(length++)] = char(c);
        }
        double value = 0;
        if (length == n) {
            const auto [end, error] = std::from_chars(bytes.data(), bytes.data() + length, value);
            if (error == std::errc() && end == bytes.data() + length && std::isfinite(value))
                return value;
        }
    }
    return Values::toNumber(text);
}

} // namespace

QString History::quantityName(Quantity quantity)
{
    for (const QuantityName &row : QuantityNames) {
        if (row.quantity == quantity)
            return QString::fromLatin1(row.name);
    }
    return QString();
}

bool History::quantityFromName(const QString &name, Quantity &quantity)
{
    for (const QuantityName &row : QuantityNames) {
        if (name == QLatin1String(row.name)) {
            quantity = row.quantity;
            return true;
        }
    }
    return false;
}

QString History::kindName(EventKind kind)
{
    for (const KindName &row : KindNames) {
        if (row.kind == kind)
            return QString::fromLatin1(row.name);
    }
    return QString();
}

bool History::kindFromName(const QString &name, EventKind &kind)
{
    for (const KindName &row : KindNames) {
        if (name == QLatin1String(row.name)) {
            kind = row.kind;
            return true;
        }
    }
    return false;
}

double History::toNumber(Quantity quantity, const QString &text)
{
    switch (quantity) {
    case Quantity::Voltage:
    case Quantity::Range:
        return readNumber(text);
    case Quantity::Overload:
        return Values::toInteger(text) == 1 ? 1 : 0;
    case Quantity::Status:
        break;
    }
    return 0;
}

History::Text::Text(const QString &text)
{
    if (text.size() > InPlace) {
        length = Long;
        longText = text;
        return;
    }
    length = qint8(text.size());
    std::copy(text.utf16(), text.utf16() + text.size(), chars.begin());
}

QStringView History::Text::view() const
{
    if (length == Long)
        return longText;
    return QStringView(chars.data(), length);
}

QString History::Text::toString() const
{
    return length == Long ? longText : view().toString();
}

const QChar *History::Text::sharedData() const
{
    return length == Long ? longText.constData() : nullptr;
}

qint64 History::Text::sharedBytes() const
{
    // The block's header and its characters, with the allocator's rounding
    // left out.
    if (length != Long)
        return 0;
    return qint64(sizeof(void *)) * 3 + qint64(longText.capacity() + 1) * qint64(sizeof(QChar));
}

void History::Series::add(qint64 t, double number, const QString &text)
{
    Sample sample;
    sample.t = qMax(t, newest());
    sample.number = number;
    // A long value that repeats shares the text of the sample before it.
    if (text.size() > Text::InPlace && !full.empty() && full.back().text.view() == text)
        sample.text = full.back().text;
    else
        sample.text = Text(text);
    full.push_back(std::move(sample));
    age(full.back().t);
}

void History::Series::age(qint64 now)
{
    while (!full.empty() &&
           (full.front().t < now - FullSpanMs || int(full.size()) > MaxFullSamples)) {
        fold(full.front());
        full.pop_front();
    }
    while (!coarse.empty() && coarse.front().start + BucketMs <= now - KeepMs)
        coarse.pop_front();
}

void History::Series::appendNewer(const Series &newer)
{
    const qint64 since = newest();
    for (const Bucket &b : newer.coarse) {
        if (isEmpty() || b.start > since)
            coarse.push_back(b);
    }
    for (const Sample &s : newer.full) {
        if (s.t < since)
            continue;
        Sample kept = s;
        full.push_back(std::move(kept));
        age(full.back().t);
    }
}

void History::Series::fold(const Sample &sample)
{
    const qint64 start = bucketStart(sample.t);
    if (coarse.empty() || coarse.back().start != start) {
        Bucket bucket;
        bucket.start = start;
        bucket.min = bucket.max = sample.number;
        coarse.push_back(bucket);
    }
    Bucket &bucket = coarse.back();
    bucket.min = qMin(bucket.min, sample.number);
    bucket.max = qMax(bucket.max, sample.number);
    bucket.last = sample.number;
    bucket.lastText = sample.text;
}

qint64 History::Series::newest() const
{
    if (!full.empty())
        return full.back().t;
    return coarse.empty() ? 0 : coarse.back().start;
}

qint64 History::Series::approximateBytes() const
{
    qint64 bytes = qint64(sizeof(Series));
    bytes += qint64(full.size()) * qint64(sizeof(Sample));
    bytes += qint64(coarse.size()) * qint64(sizeof(Bucket));
    const QChar *previous = nullptr;
    const auto count = [&](const Text &text) {
        if (text.sharedData() != previous)
            bytes += text.sharedBytes();
        previous = text.sharedData();
    };
    for (const Sample &s : full)
        count(s.text);
    for (const Bucket &b : coarse)
        count(b.lastText);
    return bytes;
}

void History::setNode(const QString &module, const QString &node)
{
    nodes[module] = node;
}

QString History::node(const QString &module) const
{
    const auto it = nodes.find(module);
    return it == nodes.end() ? QString() : it->second;
}

History::Series &History::seriesFor(const QString &module, Quantity quantity)
{
    return all[Key(module, int(quantity))];
}

void History::add(const QString &module, Quantity quantity, qint64 t, const QString &text)
{
    add(seriesFor(module, quantity), quantity, t, text);
}

void History::add(Series &series, Quantity quantity, qint64 t, const QString &text)
{
    series.add(t, toNumber(quantity, text), text);
    latest = qMax(latest, series.newest());
    ++changes;
}

void History::addEvent(const Event &event)
{
    Event kept = event;
    if (!timeline.empty())
        kept.t = qMax(kept.t, timeline.back().t);
    timeline.push_back(std::move(kept));
    while (int(timeline.size()) > MaxEvents)
        timeline.pop_front();
    latest = qMax(latest, timeline.back().t);
    ++changes;
}

void History::takeEarlier(History &earlier)
{
    // Moved, not copied: a day of a large station is a million samples and
    // buckets, and this runs on the window's thread.
    for (auto &entry : earlier.all) {
        Series &mine = all[entry.first];
        Series merged = std::move(entry.second);
        merged.appendNewer(mine);
        mine = std::move(merged);
        latest = qMax(latest, mine.newest());
    }
    earlier.all.clear();
    for (const auto &entry : earlier.nodes)
        nodes.emplace(entry.first, entry.second);
    if (!earlier.timeline.empty()) {
        std::deque<Event> merged = std::move(earlier.timeline);
        earlier.timeline.clear();
        for (const Event &e : timeline)
            merged.push_back(e);
        while (int(merged.size()) > MaxEvents)
            merged.pop_front();
        timeline = std::move(merged);
        latest = qMax(latest, timeline.back().t);
    }
    ++changes;
}

const History::Series *History::series(const QString &module, Quantity quantity) const
{
    const auto it = all.find(Key(module, int(quantity)));
    return it == all.end() ? nullptr : &it->second;
}

QVector<QString> History::modules() const
{
    QVector<QString> names;
    for (const auto &entry : all) {
        if (names.isEmpty() || names.last() != entry.first.first)
            names.append(entry.first.first);
    }
    return names;
}

QVector<History::Row> History::rows(qint64 from, qint64 to) const
{
    QVector<Row> out;
    for (const auto &entry : all) {
        const QString &module = entry.first.first;
        const auto quantity = Quantity(entry.first.second);
        const QString moduleNode = node(module);
        auto take = [&](qint64 t, const Text &value) {
            if (t >= from && t <= to)
                out.append(Row{t, module, moduleNode, quantity, value.toString()});
        };
        for (const Bucket &b : entry.second.buckets())
            take(b.start, b.lastText);
        for (const Sample &s : entry.second.samples())
            take(s.t, s.text);
    }
    std::stable_sort(out.begin(), out.end(), [](const Row &a, const Row &b) { return a.t < b.t; });
    return out;
}
