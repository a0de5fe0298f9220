// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

// What a device panel has to tell the operator beyond its own fields: a
// command it held back, a value it would not record. The panels own no
// status bar; the window shows what is posted in its own.
class PanelNotice : public QObject
{
    Q_OBJECT

public:
    explicit PanelNotice(QObject *parent) : QObject(parent) {}

    void post(const QString &text) { emit posted(text); }

signals:
    void posted(const QString &text);
};
