// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/Archive.h"
#include "history/History.h"
#include "history/Recorder.h"

#include <QObject>
#include <QPointer>
#include <QString>

class AlarmList;
class QAction;
class QMenu;
class QWidget;
class StatusNotes;
class Tesra;
class TrendsWindow;
struct Station;

// The main window's part in the history: it records the station's devices
// from the client, opens the station's archive ("History File" or "History
// Database"), takes in its last day when the archive's worker has read it,
// and puts "Trends…" and "Export History…" into the menu. The trends window
// is made the first time it is asked for, and reads spans older than the
// memory holds from the archive. An archive that must not be used is named
// in the debug log and in the status bar, and the program runs on without
// it; one that cannot be reached for a while has one note in the status
// bar for as long as that lasts.
class HistoryView : public QObject
{
    Q_OBJECT

public:
    HistoryView(QWidget *window, const Station &station, Tesra *client,
                const QList<Device *> &devices, StatusNotes *notes);
    ~HistoryView() override;

    // Records every transition of the station's alarms from now on, and
    // keeps the alarms not yet both cleared and acknowledged in the archive,
    // from which they come back into the list at the next start.
    void recordAlarms(AlarmList *list);

    // Adds the two entries in front of before (at the end when null). A
    // station without modules has nothing to show, and its menu stays as
    // it was.
    void addMenuEntries(QMenu *menu, QAction *before);

    History &history() { return kept; }
    Recorder *recorder() { return &taker; }
    // The archive while it takes rows (not refused or closed), or null.
    Archive *archive() { return store.isActive() ? &store : nullptr; }
    TrendsWindow *trends();
    QAction *trendsAction() const { return showTrends; }
    QAction *exportAction() const { return exportHistory; }

    // Writes the samples of the span the trends window shows to path as
    // CSV; false when the file cannot be written.
    bool exportTo(const QString &path, QString *error = nullptr);
    // Writes what the archive still holds and closes it; the window calls
    // it as it closes.
    void finish();

private:
    void openArchive();
    void watchArchive();
    // Takes in the archive's last day, read while recording had started.
    void takeLoaded(History &loaded);
    // Marks the link of the run before this one lost from its last record.
    void markPreviousEnd(History &loaded);
    void chooseExportFile();

    QWidget *window;
    const Station &station;
    StatusNotes *notes;
    History kept;
    Recorder taker;
    Archive store;
    QPointer<TrendsWindow> trendsWindow;
    QAction *showTrends = nullptr;
    QAction *exportHistory = nullptr;
};
