// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/HistoryView.h"

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

HistoryView::~HistoryView()
{
    // The trends window is the main window's child but reads this history.
    delete trendsWindow;
    finish();
}

void HistoryView::openArchive()
{
    if (station.historyFile.isEmpty())
        return;
    if (!store.open(station.historyFile, station.historyDays)) {
        qCDebug(lcHistory).noquote() << QStringLiteral("history file [%1] cannot be opened: %2")
                                            .arg(station.historyFile, store.errorString());
        if (notes)
            notes->addNote(
                tr("History file %1 cannot be used: %2")
                    .arg(QDir::toNativeSeparators(station.historyFile), store.errorString()));
        return;
    }
    if (!store.load(kept, QDateTime::currentMSecsSinceEpoch()))
        qCDebug(lcHistory).noquote() << QStringLiteral("history file [%1] cannot be read: %2")
                                            .arg(station.historyFile, store.errorString());
    else
        markPreviousEnd();
    taker.setArchive(&store);
    connect(&store, &Archive::writeFailed, this, [this](const QString &reason) {
        if (notes)
            notes->addNote(tr("History file %1 cannot be written: %2")
                               .arg(QDir::toNativeSeparators(station.historyFile), reason));
    });
}

void HistoryView::markPreviousEnd()
{
    // The run that wrote the archive last ended without a word about its
    // link: it quit, or it stopped. From its last record on nothing was
    // heard, so the link counts as lost from then, in the history and in the
    // archive; the trends show that time as an outage instead of the last
    // status holding through it.
    const qint64 last = kept.newest();
    if (last <= 0)
        return;
    const std::deque<History::Event> &events = kept.events();
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
    kept.addEvent(end);
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
    if (!trendsWindow)
        trendsWindow = new TrendsWindow(kept, station, window);
    return trendsWindow;
}

bool HistoryView::exportTo(const QString &path, QString *error)
{
    TrendsWindow *w = trends();
    QSaveFile file(path);
    const bool written =
        file.open(QIODevice::WriteOnly) &&
        file.write(HistoryCsv::write(kept.rows(w->shownFrom(), w->shownTo()))) >= 0 &&
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
    store.flush();
}
