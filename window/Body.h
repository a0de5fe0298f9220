#pragma once

#include "ui_Body.h"

#include <QList>
#include <QMainWindow>
#include <QString>
#include <QStringList>

class QSettings;
class Tesra;
class aCA;
class aHV;
class aIC;

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
    const QList<aHV *> &hvModules() const { return hvPanels; }
    const QList<aCA *> &ampModules() const { return ampPanels; }
    const QList<aIC *> &icModules() const { return icGroups; }

private slots:
    void newSize();

private:
    void setUpClient();
    // The module assembly, in this order: every panel exists before the
    // first group looks one up by id.
    void readTables();
    void readTableList(const QString &key, QStringList &names, QList<QStringList> &tables);
    void setUpHVModules();
    void setUpAMPModules();
    void setUpICModules();
    aHV *findHV(const QString &id) const;
    aCA *findAMP(const QString &id) const;
    QStringList tableFor(const QString &module, const QString &kind, const QString &name,
                         const QStringList &names, const QList<QStringList> &tables) const;

    Tesra *client = nullptr;
    QString clientName;
    QSettings *settings = nullptr;
    QStringList moduleNames;
    QList<aCA *> ampPanels;
    QList<aHV *> hvPanels;
    QList<aIC *> icGroups;
    QStringList tcTableNames;
    QList<QStringList> tcTables;
    QStringList rangeTableNames;
    QList<QStringList> rangeTables;
};
