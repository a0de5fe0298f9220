// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QEvent>
#include <QLineEdit>
#include <QObject>
#include <QStringList>

// Counts the paints of one field and keeps the text each one showed: what
// the operator saw, paint by paint.
class PaintLog : public QObject
{
public:
    explicit PaintLog(QLineEdit *watched) : edit(watched) { edit->installEventFilter(this); }
    QStringList painted;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == edit && event->type() == QEvent::Paint)
            painted << edit->text();
        return false;
    }

private:
    QLineEdit *edit;
};
