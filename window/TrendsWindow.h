// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/History.h"

#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>

class Archive;
class QComboBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QTabWidget;
class QTableView;
class TimelineModel;
class TrendChart;
struct Station;

// The station's recent history on screen: a trend chart per HV module and
// the event timeline, in two tabs of one window.
//
// The charts show one span (10 min, 1 h or 24 h) that ends at the live end
// and follows it, until the operator drags the scroll bar back; dragging it
// to the right end, or Live, follows again. A timer redraws at most
// RedrawsPerSecond times a second, and only what changed: however fast the
// devices report, drawing costs the same. The export takes the span shown.
//
// With an archive the scroll bar reaches back over the days it keeps. A
// span older than the day in memory is asked of the archive's worker and
// drawn when it arrives; meanwhile the window says it is reading and stays
// free to use.
class TrendsWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int RedrawsPerSecond = 4;
    enum Span { TenMinutes, OneHour, OneDay };

    TrendsWindow(const History &history, const Station &station, QWidget *parent = nullptr);

    const QList<TrendChart *> &charts() const { return chartList; }
    TimelineModel *timeline() const { return timelineModel; }

    void setSpan(Span span);
    Span span() const;
    static qint64 spanMs(Span span);
    // The times [from, to] the charts show, in milliseconds since the epoch.
    qint64 shownFrom() const;
    qint64 shownTo() const;
    bool isFollowing() const { return following; }
    // Shows the span that ends at end, and stops following the live end.
    void showUntil(qint64 end);
    void followLive();
    // Draws now, whatever the timer says.
    void redraw();
    // The tab of the timeline, the tab of the charts.
    void showTimeline();
    void showCharts();

    // Reads spans older than the memory holds from archive, back keepDays.
    void readArchive(Archive *archive, int keepDays);
    // The history the charts were drawn from last: the memory's, or a span
    // read from the archive.
    bool drewFromArchive() const { return fromArchive; }
    // The history the span shown was drawn from.
    const History &shownHistory() const { return fromArchive && archived ? *archived : history; }
    bool isReadingArchive() const { return reading; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void tick();
    void scrolled(int value);
    void updateScrollBar();
    qint64 liveEnd() const;
    // How far back the scroll bar reaches.
    qint64 reachMs() const;
    void takeSpan(qint64 from, qint64 to, const std::shared_ptr<History> &span);

    const History &history;
    QList<TrendChart *> chartList;
    TimelineModel *timelineModel;
    QComboBox *spanBox;
    QPushButton *liveButton;
    QLabel *shownLabel;
    QScrollBar *scrollBar;
    QTabWidget *tabs;
    QTableView *timelineView;
    QTimer timer;
    bool following = true;
    qint64 fixedEnd = 0;
    quint64 drawnRevision = 0;
    qint64 drawnTo = 0;
    qint64 drawnSpan = 0;
    QPointer<Archive> archive;
    qint64 archiveReachMs = 0;
    // The span last read from the archive, and the one asked for.
    std::shared_ptr<History> archived;
    qint64 archivedFrom = 0;
    qint64 archivedTo = 0;
    qint64 askedFrom = 0;
    qint64 askedTo = 0;
    bool reading = false;
    bool fromArchive = false;
};
