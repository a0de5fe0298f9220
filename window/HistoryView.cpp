// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/HistoryView.h"

#include "alarms/AlarmList.h"
#include "client/Logging.h"
#include "history/HistoryCsv.h"
#include "station/Station.h"
#include "window/StatusNotes.h"
#include "window/TrendsWindow.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMainWindow>
#include <QMenu>
#include <QSaveFile>
#include <QStatusBar>

namespace {
// How long a note about an export stands in the status bar.
constexpr int ExportNoteMs = 10000;
} // namespace

HistoryView::HistoryView(QWidget *mainWindow, const Station &st, Tesra *client,
                         const QList<Device *> &devices, StatusNotes *statusNotes)
    : QObject(mainWindow), window(mainWindow), station(st), notes(statusNotes), taker(kept)
{
    openArchive();
    taker.follow(client, devices);

    showTrends = new QAction(tr("Trends…"), this);
    showTrends->setObjectName(QStringLiteral("actionTrends"));
    connect(showTrends, &QAction::triggered, this, [this] {
        TrendsWindow *w = trends();
        w->show();
        w->raise();
        w->activateWindow();
    });
    exportHistory = new QAction(tr("Export History…"), this);
    exportHistory->setObjectName(QStringLiteral("actionExportHistory"));
    connect(exportHistory, &QAction::triggered, this, &HistoryView::chooseExportFile);
}

void HistoryView::recordAlarms(AlarmList *list)
{
    connect(list, &AlarmList::transitioned, this,
            [this](AlarmList::Transition transition, const AlarmRecord &record) {
                taker.recordAlarm(AlarmList::transitionName(transition), record);
                if (!store.isActive())
                    return;
                if (AlarmList::isFinished(record))
                    store.removeAlarm(record.module, record.condition);
                else
                    store.storeAlarm(record);
            });
    // The alarms of the last run come back as they were left; the list
    // clears those whose condition its devices have seen go meanwhile.
    // Merged with one raised again since the start, an alarm may have taken
    // over what the operator had done to it before: all of them are stored
    // as they now stand.
    connect(&store, &Archive::alarmsLoaded, list, [this, list](const QVector<AlarmRecord> &alarms) {
        list->restore(alarms);
        for (const AlarmRecord &record : list->records())
            store.storeAlarm(record);
    });
}

HistoryView::~HistoryView()
{
    // The trends window is the main window's child but reads this history.
    delete trendsWindow;
    finish();
}

void HistoryView::openArchive()
{
    ArchiveTarget target;
    if (!station.historyDatabase.isEmpty()) {
        QString why;
        target = ArchiveTarget::postgres(station.historyDatabase, station.stationName, &why);
        if (target.kind == ArchiveTarget::NoArchive) {
            qCDebug(lcHistory).noquote()
                << QStringLiteral("history database [%1] cannot be used: %2")
                       .arg(station.historyDatabase, why);
            if (notes)
                notes->addNote(
                    tr("History database %1 cannot be used: %2").arg(station.historyDatabase, why));
            return;
        }
        if (!station.historyFile.isEmpty())
            qCDebug(lcHistory).noquote()
                << QStringLiteral("history file [%1] left alone: the history database is in use")
                       .arg(station.historyFile);
    } else if (!station.historyFile.isEmpty()) {
        target = ArchiveTarget::sqlite(station.historyFile, station.stationName);
    } else {
        return;
    }
    target.keepDays = station.historyDays;
    target.queueSamples = station.historyQueue;
    watchArchive();
    // What this run records from now on is in memory already; the archive
    // gives back what came before.
    store.open(target, QDateTime::currentMSecsSinceEpoch());
    taker.setArchive(&store);
}

void HistoryView::watchArchive()
{
    const QString unreachableKey = QStringLiteral("history-unreachable");
    connect(&store, &Archive::refused, this, [this, unreachableKey](const QString &reason) {
        if (!notes)
            return;
        notes->clearNote(unreachableKey);
        const ArchiveTarget &target = store.target();
        notes->addNote(
            target.kind == ArchiveTarget::Postgres
                ? tr("History database %1 cannot be used: %2").arg(target.describe(), reason)
                : tr("History file %1 cannot be used: %2")
                      .arg(QDir::toNativeSeparators(target.file), reason));
    });
    connect(&store, &Archive::unreachable, this,
            [this, unreachableKey](const QString &, qint64 since) {
                if (notes)
                    notes->setNote(unreachableKey,
                                   tr("history database unreachable since %1")
                                       .arg(QDateTime::fromMSecsSinceEpoch(since).toString(
                                           QStringLiteral("HH:mm:ss"))));
            });
    connect(&store, &Archive::reachable, this, [this, unreachableKey] {
        if (notes)
            notes->clearNote(unreachableKey);
    });
    connect(&store, &Archive::startLoaded, this,
            [this](const std::shared_ptr<History> &loaded) { takeLoaded(*loaded); });
    connect(&store, &Archive::samplesDropped, this, [this](qint64 count, qint64 from, qint64 to) {
        // The archive has its own row of it; the timeline gets one too.
        History::Event gap;
        gap.t = QDateTime::currentMSecsSinceEpoch();
        gap.kind = History::EventKind::SamplesDropped;
        gap.text = QStringLiteral("%1 samples, %2 to %3")
                       .arg(count)
                       .arg(QDateTime::fromMSecsSinceEpoch(from).toString(Qt::ISODateWithMs),
                            QDateTime::fromMSecsSinceEpoch(to).toString(Qt::ISODateWithMs));
        kept.addEvent(gap);
    });
}

void HistoryView::takeLoaded(History &loaded)
{
    markPreviousEnd(loaded);
    kept.takeEarlier(loaded);
}

void HistoryView::markPreviousEnd(History &loaded)
{
    // The run that wrote the archive last ended without a word about its
    // link: it quit, or it stopped. From its last record on nothing was
    // heard, so the link counts as lost from then, in the history and in the
    // archive; the trends show that time as an outage instead of the last
    // status holding through it.
    const qint64 last = loaded.newest();
    if (last <= 0)
        return;
    const std::deque<History::Event> &events = loaded.events();
    for (auto it = events.rbegin(); it != events.rend(); ++it) {
        if (!it->module.isEmpty())
            continue;
        if (it->kind == History::EventKind::LinkLost || it->kind == History::EventKind::LinkRefused)
            return;
        break;
    }
    History::Event end;
    end.t = last;
    end.kind = History::EventKind::LinkLost;
    end.text = QStringLiteral("%1:%2").arg(station.serverAddress, station.serverPort);
    loaded.addEvent(end);
    store.addEvent(end);
}

void HistoryView::addMenuEntries(QMenu *menu, QAction *before)
{
    if (station.hvModules.isEmpty() && station.ampModules.isEmpty())
        return;
    menu->insertAction(before, showTrends);
    menu->insertAction(before, exportHistory);
    menu->insertSeparator(before);
}

TrendsWindow *HistoryView::trends()
{
    if (!trendsWindow) {
        trendsWindow = new TrendsWindow(kept, station, window);
        if (store.isActive())
            trendsWindow->readArchive(&store, station.historyDays);
    }
    return trendsWindow;
}

bool HistoryView::exportTo(const QString &path, QString *error)
{
    TrendsWindow *w = trends();
    QSaveFile file(path);
    const bool written =
        file.open(QIODevice::WriteOnly) &&
        file.write(HistoryCsv::write(w->shownHistory().rows(w->shownFrom(), w->shownTo()))) >= 0 &&
        file.commit();
    if (!written && error)
        *error = file.errorString();
    return written;
}

void HistoryView::chooseExportFile()
{
    const QString path = QFileDialog::getSaveFileName(
        window, tr("Export History"),
        QStringLiteral("brenlow-history-%1.csv")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))),
        tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    auto *mainWindow = qobject_cast<QMainWindow *>(window);
    QStatusBar *bar = mainWindow ? mainWindow->statusBar() : nullptr;
    if (exportTo(path, &error)) {
        if (bar)
            bar->showMessage(tr("History exported to %1").arg(QDir::toNativeSeparators(path)),
                             ExportNoteMs);
        return;
    }
    qCDebug(lcHistory).noquote()
        << QStringLiteral("history cannot be exported to [%1]: %2").arg(path, error);
    if (bar)
        bar->showMessage(
            tr("History cannot be exported to %1: %2").arg(QDir::toNativeSeparators(path), error),
            ExportNoteMs);
}

void HistoryView::finish()
{
    store.close();
}
