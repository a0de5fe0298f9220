// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/ElidedLabel.h"

#include <QStringList>
#include <QVector>

// The notes that the window leaves in its status bar for the operator.
//
// Things the operator should know without reading the debug log: a
// configuration file that was not there (so built-in defaults aim at the
// station's real server), keys the program does not know, a command log that
// could not be opened or has stopped taking lines, read-only mode, modules
// that were not built, a key file open to others. The notes stand on the left
// of the status bar, one after the other; the permanent widgets on the right
// (the link's state) are left to others. However many notes there are, they
// take only the room the window has: what does not fit is cut off with an
// ellipsis, and the tooltip holds every note, one a line.
class StatusNotes : public ElidedLabel
{
    Q_OBJECT

public:
    explicit StatusNotes(QWidget *parent = nullptr);

    void noteMissingConfig(const QString &path);
    void noteUnreadableConfig(const QString &path);
    void noteUnknownKeys(int count);
    void noteCommandLogFailed(const QString &path);
    // The command log has stopped taking lines; the note stays until
    // clearCommandLogUnwritable, when it takes them again.
    void noteCommandLogUnwritable(const QString &path, const QString &reason);
    void clearCommandLogUnwritable();
    void noteReadOnly();
    // A command that did not go out (see Tesra::CommandNotSent), said for a
    // while in the status bar.
    void noteNotSent(const QString &line);
    // Says text for a while in the status bar this label stands in; the
    // notes come back after it.
    void flash(const QString &text);
    // A key file that others than its owner may read or write.
    void noteKeyFileOpen(const QString &path);
    // Modules left out because a name of theirs would reshape their lines.
    void noteModulesNotBuilt(const QStringList &modules);
    // A note whose text another part of the window has made (and
    // translated).
    void addNote(const QString &note) { add(note); }
    // A note that stands for a condition while it lasts: setting it again
    // replaces its text in place instead of adding another, and clearing
    // it takes it away.
    void setNote(const QString &key, const QString &note);
    void clearNote(const QString &key);

    QStringList notes() const;

private:
    // A note, and the condition it stands for (empty for one that stays).
    struct Note
    {
        QString key;
        QString text;
    };

    void add(const QString &note);
    void showNotes();

    // How long a flashed message stays: long enough to be read after a
    // glance elsewhere.
    static constexpr int FlashMs = 15000;

    QVector<Note> shown;
};
