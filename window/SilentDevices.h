// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QLabel>
#include <QString>
#include <QVector>

class AnswerWatch;
class Device;

// The status bar's note of device nodes that have stopped answering.
//
// It follows the answer watches of the station's devices and names every node
// that is silent, with since when, in one note ("hvps.2 not answering since
// 12:03:05, ca.1 not answering since 12:03:09"), oldest silence first. A
// node that two panels watch is named once. A node leaves the note as soon
// as it sends anything, and every node does when the link goes down. The
// label is empty while no node is silent, and takes only the width the
// status bar has to spare.
class SilentDevices : public QLabel
{
    Q_OBJECT

public:
    explicit SilentDevices(QWidget *parent = nullptr);

    // Follows every device's answer watch.
    void follow(const QList<Device *> &devices);
    void watch(AnswerWatch *watch);

    // The silent nodes as named in the note, in its order.
    QStringList nodes() const;

private:
    struct Silence
    {
        const AnswerWatch *watch;
        QString node;
        QDateTime since;
    };

    void silent(const AnswerWatch *watch, const QString &node, const QDateTime &since);
    void answering(const AnswerWatch *watch);
    QVector<Silence> byNode() const;
    void refresh();

    QVector<Silence> silences;
};
