// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class QWidget;
class Tesra;

// Takes one picture of the main window and ends the program.
//
// For documentation and headless checks: the picture is taken a moment after
// the first ready link, when the panels have had their first answers, or
// after a longer wait when no link becomes ready, and written as PNG. The
// event loop then ends with 0, or with 1 when the file cannot be written.
// Qt draws the window itself, so no display or screen grabber is needed.
class WindowShot : public QObject
{
    Q_OBJECT

public:
    static constexpr int AfterReadyMs = 1000;
    static constexpr int WithoutLinkMs = 5000;

    WindowShot(QWidget *window, Tesra *client, const QString &fileName, QObject *parent = nullptr,
               int afterReadyMs = AfterReadyMs);

    // Grabs the window, writes the file and ends the event loop.
    void take();

    // Writes a picture of window to fileName as PNG; false with a reason
    // when that fails.
    static bool save(QWidget *window, const QString &fileName, QString &error);

private:
    QWidget *window;
    QString fileName;
    QTimer timer;
    int afterReady;
    bool linkSeen = false;
};
