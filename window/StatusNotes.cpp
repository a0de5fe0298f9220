// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/StatusNotes.h"

#include <QDir>
#include <QStatusBar>
#include <algorithm>

StatusNotes::StatusNotes(QWidget *parent) : ElidedLabel(parent)
{
    setObjectName(QStringLiteral("StatusNotes"));
}

void StatusNotes::noteMissingConfig(const QString &path)
{
    add(tr("Configuration file %1 not found: built-in defaults in use")
            .arg(QDir::toNativeSeparators(path)));
}

void StatusNotes::noteUnreadableConfig(const QString &path)
{
    add(tr("Configuration file %1 cannot be read: built-in defaults in use")
            .arg(QDir::toNativeSeparators(path)));
}

void StatusNotes::noteUnknownKeys(int count)
{
    add(tr("Unknown configuration keys: %1 (see the debug log)").arg(count));
}

void StatusNotes::noteCommandLogFailed(const QString &path)
{
    add(tr("Command log %1 cannot be opened: no commands are recorded")
            .arg(QDir::toNativeSeparators(path)));
}

namespace {
const QString LogUnwritableKey = QStringLiteral("command-log-unwritable");
} // namespace

void StatusNotes::noteCommandLogUnwritable(const QString &path, const QString &reason)
{
    // The newest failure goes last, as a new note would.
    clearNote(LogUnwritableKey);
    setNote(LogUnwritableKey,
            tr("Command log %1 cannot be written (%2): commands are not being recorded")
                .arg(QDir::toNativeSeparators(path), reason));
}

void StatusNotes::clearCommandLogUnwritable()
{
    clearNote(LogUnwritableKey);
}

void StatusNotes::noteReadOnly()
{
    add(tr("read-only: no commands are sent"));
}

void StatusNotes::noteNotSent(const QString &line)
{
    flash(tr("Not sent, the link is not ready: %1").arg(line));
}

void StatusNotes::flash(const QString &text)
{
    if (auto *bar = qobject_cast<QStatusBar *>(parentWidget()))
        bar->showMessage(text, FlashMs);
}

void StatusNotes::noteKeyFileOpen(const QString &path)
{
    add(tr("Key file %1 can be read or written by others than its owner: make it private")
            .arg(QDir::toNativeSeparators(path)));
}

void StatusNotes::noteModulesNotBuilt(const QStringList &modules)
{
    add(tr("Not built, a name holds white space: %1 (see the debug log)")
            .arg(modules.join(QStringLiteral(", "))));
}

void StatusNotes::add(const QString &note)
{
    shown.append(Note{QString(), note});
    showNotes();
}

void StatusNotes::setNote(const QString &key, const QString &note)
{
    for (Note &n : shown) {
        if (n.key == key) {
            n.text = note;
            showNotes();
            return;
        }
    }
    shown.append(Note{key, note});
    showNotes();
}

void StatusNotes::clearNote(const QString &key)
{
    const auto gone =
        std::remove_if(shown.begin(), shown.end(), [&key](const Note &n) { return n.key == key; });
    if (gone == shown.end())
        return;
    shown.erase(gone, shown.end());
    showNotes();
}

QStringList StatusNotes::notes() const
{
    QStringList texts;
    for (const Note &n : shown)
        texts << n.text;
    return texts;
}

void StatusNotes::showNotes()
{
    const QStringList texts = notes();
    setText(texts.join(QStringLiteral(" | ")));
    setToolTip(texts.join(QLatin1Char('\n')));
}
