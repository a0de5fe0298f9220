// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/WindowShot.h"

#include "client/Logging.h"
#include "client/Tesra.h"
#include "widgets/DisplayClock.h"

#include <QCoreApplication>
#include <QImageWriter>
#include <QPixmap>
#include <QWidget>

WindowShot::WindowShot(QWidget *shotWindow, Tesra *client, const QString &name, QObject *parent,
                       int afterReadyMs)
    : QObject(parent), window(shotWindow), fileName(name), afterReady(afterReadyMs)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &WindowShot::take);
    timer.start(WithoutLinkMs);
    // Only the first ready link counts: the wait after it replaces the longer one.
    connect(client, &Tesra::ConnectionIsReady, this, [this] {
        if (linkSeen)
            return;
        linkSeen = true;
        timer.start(afterReady);
    });
}

void WindowShot::take()
{
    QString error;
    if (save(window, fileName, error)) {
        qCDebug(lcWindow).noquote() << "screenshot written to" << fileName;
        QCoreApplication::exit(0);
        return;
    }
    qCCritical(lcWindow).noquote()
        << QStringLiteral("cannot write the screenshot [%1]: %2").arg(fileName, error);
    QCoreApplication::exit(1);
}

bool WindowShot::save(QWidget *shotWindow, const QString &name, QString &error)
{
    // A field whose repaint waits for its display interval would be left out
    // of the picture.
    DisplayClock::releaseAllNow();
    const QPixmap picture = shotWindow->grab();
    QImageWriter writer(name, "png");
    if (writer.write(picture.toImage()))
        return true;
    error = writer.errorString();
    return false;
}
