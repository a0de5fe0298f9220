#pragma once

#include "ui_Body.h"

#include <QList>
#include <QMainWindow>
#include <QString>
#include <QStringList>

class QSettings;
class Tesra;

// The program's only top-level window.
//
// Its constructor does all of the set-up before the event loop runs: the
// form, the station's INI settings, the one message-server client (which
// starts connecting at once), and then the assembly of device panels and ion
// chamber groups from the configuration. Afterwards the window only shrinks
// to fit when an amplifier panel changes size.
class Body : public QMainWindow, private Ui_Body
{
    Q_OBJECT

public:
    explicit Body(const QString &configPath);
    ~Body() override;

    Tesra *tesra() const { return client; }

private slots:
    void newSize();

private:
    void setUpClient();

    Tesra *client = nullptr;
    QString clientName;
    QSettings *settings = nullptr;
    QStringList moduleNames;
};
