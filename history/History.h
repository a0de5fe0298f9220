// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>
#include <QVector>
#include <QtGlobal>
#include <array>
#include <deque>
#include <map>
#include <utility>

// What the station's devices and the link did lately, kept in memory.
//
// Every value a module reports is a sample: its time of arrival (milliseconds
// since the Unix epoch, UTC), the module's section name in the station file,
// its node, a quantity and the text as received. A series (one module, one
// quantity) keeps full resolution for the last FullSpanMs and, older than
// that, the minimum, maximum and last value of every BucketMs up to KeepMs
// back; a flood that would hold more than MaxFullSamples at full resolution
// folds its oldest samples into the buckets early, so the memory a series
// takes is bounded whatever the rate. The events for the timeline (status
// changes, overloads, range changes, link events) are kept apart, the newest
// MaxEvents of them.
//
// Time only moves forward here: a sample stamped before the newest one of its
// series (a clock set back) is taken as arriving at that newest time, so the
// series stay in order. Nothing here looks at the clock; the recorder stamps
// the samples, and the tests and the benchmark can simulate a day in a
// moment.
class History
{
public:
    static constexpr qint64 FullSpanMs = qint64(10) * 60 * 1000;
    static constexpr qint64 BucketMs = qint64(10) * 1000;
    static constexpr qint64 KeepMs = qint64(24) * 60 * 60 * 1000;
    // Ten samples a second for the full span.
    static constexpr int MaxFullSamples = 6000;
    static constexpr int MaxEvents = 10000;

    enum class Quantity { Voltage, Status, Range, Overload };
    enum class EventKind {
        Status,
        OverloadSet,
        OverloadCleared,
        Range,
        LinkReady,
        LinkLost,
        LinkRefused,
        Silent,
        // The archive's queue overflowed during an outage and let samples go.
        SamplesDropped,
        // The station's alarms, one kind per transition of an alarm.
        AlarmRaised,
        AlarmCleared,
        AlarmAcknowledged,
        AlarmShelved,
        AlarmUnshelved,
    };

    // The names the archive and the export write, and read back.
    static QString quantityName(Quantity quantity);
    static bool quantityFromName(const QString &name, Quantity &quantity);
    static QString kindName(EventKind kind);
    static bool kindFromName(const QString &name, EventKind &kind);

    // A value's text as received. A short one (every value a device sends
    // is short) is held in place: keeping it costs no allocation and holds
    // on to no buffer of the client's, which would otherwise have to take a
    // new buffer for the next line it reads. A longer text is kept as a
    // shared string.
    class Text
    {
    public:
        static constexpr int InPlace = 15;

        Text() = default;
        explicit Text(const QString &text);

        QStringView view() const;
        QString toString() const;
        // The heap block of a longer text (shared between equal neighbours),
        // or null.
        const QChar *sharedData() const;
        qint64 sharedBytes() const;

    private:
        // In place: length 0 to InPlace; a longer text is in longText.
        static constexpr qint8 Long = -1;
        std::array<char16_t, InPlace> chars{};
        qint8 length = 0;
        QString longText;
    };

    struct Sample
    {
        qint64 t = 0;
        // The text read as a number (0 when it is none; the overload flag as
        // 0 or 1).
        double number = 0;
        Text text;
    };

    // One BucketMs of older samples: its start, and the smallest, largest
    // and last number and the last text that arrived in it.
    struct Bucket
    {
        qint64 start = 0;
        double min = 0;
        double max = 0;
        double last = 0;
        Text lastText;
    };

    // One row of an export: a sample with its series. A bucket gives one row
    // with its last value, at the time of its start.
    struct Row
    {
        qint64 t = 0;
        QString module;
        QString node;
        Quantity quantity = Quantity::Voltage;
        QString value;
    };

    struct Event
    {
        qint64 t = 0;
        // Empty for link events.
        QString module;
        QString node;
        EventKind kind = EventKind::Status;
        QString text;
    };

    class Series
    {
    public:
        void add(qint64 t, double number, const QString &text);
        // Drops and folds what the time now has left behind.
        void age(qint64 now);
        // Adds what newer holds after this series' newest sample (the live
        // end, after a day read back from the archive).
        void appendNewer(const Series &newer);

        const std::deque<Bucket> &buckets() const { return coarse; }
        const std::deque<Sample> &samples() const { return full; }
        bool isEmpty() const { return full.empty() && coarse.empty(); }
        // The newest sample's time, or 0 for an empty series.
        qint64 newest() const;
        // The bytes the series holds on the heap and in itself, as near as
        // the containers let one count (long texts shared between samples
        // once).
        qint64 approximateBytes() const;

    private:
        void fold(const Sample &sample);

        std::deque<Sample> full;
        std::deque<Bucket> coarse;
    };

    // The module's node, as the station names it; one per module.
    void setNode(const QString &module, const QString &node);
    QString node(const QString &module) const;

    void add(const QString &module, Quantity quantity, qint64 t, const QString &text);
    // The series of a module's quantity, made empty when there is none yet;
    // it stays where it is for the history's life, so a recorder can keep it
    // and add to it without a look-up.
    Series &seriesFor(const QString &module, Quantity quantity);
    void add(Series &series, Quantity quantity, qint64 t, const QString &text);
    void addEvent(const Event &event);
    // Puts what earlier holds (the archive's last day, read while this
    // history was already recording) in front of what this one holds,
    // taking it out of earlier. The series stay where they are.
    void takeEarlier(History &earlier);

    // The series of a module's quantity, or nullptr when nothing was kept.
    const Series *series(const QString &module, Quantity quantity) const;
    // The modules that have any series, in name order.
    QVector<QString> modules() const;

    // The newest first is the timeline's order; this is oldest first.
    const std::deque<Event> &events() const { return timeline; }

    // Every sample and bucket whose time lies in [from, to], in time order
    // (series of one time in module and quantity order).
    QVector<Row> rows(qint64 from, qint64 to) const;

    // The time of the newest sample or event, or 0.
    qint64 newest() const { return latest; }
    // Counts every change, so that a view can tell whether it is behind.
    quint64 revision() const { return changes; }

    // The converted number of a text of quantity.
    static double toNumber(Quantity quantity, const QString &text);

private:
    using Key = std::pair<QString, int>;
    std::map<Key, Series> all;
    std::map<QString, QString> nodes;
    std::deque<Event> timeline;
    qint64 latest = 0;
    quint64 changes = 0;
};
