// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/Archive.h"
#include "history/History.h"
#include "history/Recorder.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QAction;
class QMenu;
class QWidget;
class StatusNotes;
class Tesra;
class TrendsWindow;
struct Station;

// The main window's part in the history: it records the station's devices
// from the client, opens the station's archive ("History File") and loads its last
// day, and puts "Trends…" and "Export History…" into the menu. The trends
// window is made the first time it is asked for. An archive that cannot be
// opened or written is named in the debug log and in the status bar; the
// program runs on without it.
class HistoryView : public QObject
{
    Q_OBJECT

public:
    HistoryView(QWidget *window, const Station &station, Tesra *client,
                const QList<Device *> &devices, StatusNotes *notes);
    ~HistoryView() override;

    // Adds the two entries in front of before (at the end when null). A
    // station without modules has nothing to show, and its menu stays as
    // it was.
    void addMenuEntries(QMenu *menu, QAction *before);

    History &history() { return kept; }
    Recorder *recorder() { return &taker; }
    Archive *archive() { return store.isOpen() ? &store : nullptr; }
    TrendsWindow *trends();
    QAction *trendsAction() const { return showTrends; }
    QAction *exportAction() const { return exportHistory; }

    // Writes the samples of the span the trends window shows to path as
    // CSV; false when the file cannot be written.
    bool exportTo(const QString &path, QString *error = nullptr);
    // Flushes the archive; the window calls it as it closes.
    void finish();

private:
    void openArchive();
    // Marks the link of the run before this one lost from its last record.
    void markPreviousEnd();
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
