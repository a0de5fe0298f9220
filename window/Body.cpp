#include "window/Body.h"

#include "amplifier/aCA.h"
#include "app/Config.h"
#include "app/Logging.h"
#include "client/Tesra.h"
#include "hv/aHV.h"
#include "window/aIC.h"

#include <QCoreApplication>
#include <QLayout>
#include <QSettings>
#include <QTimer>

namespace {

QString key(const QString &name, const char *suffix)
{
    return name + QLatin1Char('/') + QLatin1String(suffix);
}

// The keys that HV and amplifier modules share: addressing, placement in
// the group (index is the module's place in its list) and colour.
template <typename Panel>
void configureModule(const QSettings &settings, Panel &panel, const QString &name, int index)
{
    panel.id = Config::readText(settings, key(name, "id"));
    panel.driver = Config::readText(settings, key(name, "driver"));
    panel.ch = Config::readText(settings, key(name, "ch"));

    const Config::Placement place =
        Config::modulePlacement(Config::readList(settings, key(name, "Position in Window")), index);
    panel.col = place.col;
    panel.row = place.row;
    panel.colSpan = place.colSpan;
    panel.rowSpan = place.rowSpan;

    const QString colour = Config::colourStyleSheet(Config::readList(settings, key(name, "Color")));
    if (!colour.isEmpty())
        panel.setStyleSheet(colour);
}

} // namespace

Body::Body(const QString &configPath) : QMainWindow(nullptr)
{
    setupUi(this);
    connect(actionQuit, &QAction::triggered, this, &QWidget::close);

    settings = new QSettings(configPath, QSettings::IniFormat);
    setUpClient();

    readTables();
    setUpHVModules();
    setUpAMPModules();
    setUpICModules();
}

Body::~Body()
{
    // Placed panels go with their groups; a panel that no chamber names has
    // no parent and is released here, before the client it points to.
    for (aHV *panel : qAsConst(hvPanels)) {
        if (!panel->parent())
            delete panel;
    }
    for (aCA *panel : qAsConst(ampPanels)) {
        if (!panel->parent())
            delete panel;
    }
    delete client;
    delete settings;
}

void Body::setUpClient()
{
    const QString address = Config::readText(*settings, QStringLiteral("Tesra IP"),
                                             QString::fromLatin1(Config::DefaultServerAddress));
    const QString port = Config::readText(*settings, QStringLiteral("Tesra Port"),
                                          QString::fromLatin1(Config::DefaultServerPort));
    clientName = Config::readText(*settings, QStringLiteral("Name on Tesra"),
                                  QString::fromLatin1(Config::DefaultClientName));
    const QString keyFile = Config::readText(*settings, QStringLiteral("Key File"),
                                             QString::fromLatin1(Config::DefaultKeyFile));

    client = new Tesra;
    client->SetKeyFile(keyFile, clientName);
    client->SetNewSVAddress(address);
    client->SetNewSVPort(port);
    client->MakeConnection();
}

void Body::readTables()
{
    readTableList(QStringLiteral("TCTables"), tcTableNames, tcTables);
    readTableList(QStringLiteral("RangeTables"), rangeTableNames, rangeTables);
}

void Body::readTableList(const QString &listKey, QStringList &names, QList<QStringList> &tables)
{
    names = Config::readList(*settings, listKey);
    for (const QString &name : qAsConst(names))
        tables.append(Config::readList(*settings, key(name, "Table")));
}

void Body::setUpHVModules()
{
    moduleNames = Config::readList(*settings, QStringLiteral("HV Module Names"));
    for (int i = 0; i < moduleNames.size(); ++i) {
        const QString &name = moduleNames.at(i);
        auto *panel = new aHV;
        panel->setClient(client);
        panel->ui.ModuleName->setText(name);
        configureModule(*settings, *panel, name, i);
        panel->setVoltageList(Config::readList(*settings, key(name, "Default Voltage")));
        panel->selectVoltage(Config::readText(*settings, key(name, "Default Select")));
        panel->setVoltageEditable(Config::readFlag(*settings, key(name, "Voltage Editable"), true));
        panel->voltageTolerance = Config::tolerance(
            Config::readText(*settings, key(name, "Voltage Tolerance"), QStringLiteral("0")));
        hvPanels.append(panel);
    }
}

void Body::setUpAMPModules()
{
    moduleNames = Config::readList(*settings, QStringLiteral("AMP Module Names"));
    for (int i = 0; i < moduleNames.size(); ++i) {
        const QString &name = moduleNames.at(i);
        auto *panel = new aCA;
        panel->setClient(client);
        panel->setModuleName(name);
        configureModule(*settings, *panel, name, i);
        panel->setTCTable(tableFor(name, QStringLiteral("TC Table"),
                                   Config::readText(*settings, key(name, "TC Table")), tcTableNames,
                                   tcTables));
        panel->setRangeTable(tableFor(name, QStringLiteral("Range Table"),
                                      Config::readText(*settings, key(name, "Range Table")),
                                      rangeTableNames, rangeTables));
        panel->setCSprTableFile(
            Config::readText(*settings, key(name, "Current Surpression Table")));
        panel->setPollErrors(Config::readFlag(*settings, key(name, "Poll Errors"), false));
        connect(panel, &aCA::resized, this, &Body::newSize);
        ampPanels.append(panel);
    }
}

QStringList Body::tableFor(const QString &module, const QString &kind, const QString &name,
                           const QStringList &names, const QList<QStringList> &tables) const
{
    const int index = Config::findTable(names, name);
    if (index >= 0)
        return tables.at(index);
    // A name that no table list holds gives an empty selector; an absent key
    // is the quiet default.
    if (!name.isEmpty())
        qCDebug(lcConfig).noquote()
            << QStringLiteral("amplifier [%1]: no %2 named [%3]; its selector "
                              "stays empty")
                   .arg(module, kind, name);
    return QStringList();
}

void Body::setUpICModules()
{
    moduleNames = Config::readList(*settings, QStringLiteral("IC Module Names"));
    for (int i = 0; i < moduleNames.size(); ++i) {
        const QString &name = moduleNames.at(i);
        auto *group = new aIC;
        group->name = name;
        const QString hvId = Config::readText(*settings, key(name, "HV Unit id"));
        const QString ampId = Config::readText(*settings, key(name, "AMP Unit id"));
        const Config::Placement namePlace =
            Config::namePlacement(Config::readList(*settings, key(name, "Position of Name")));
        group->nameColumn = namePlace.col;
        group->nameRow = namePlace.row;

        aHV *hv = findHV(hvId);
        aCA *amp = findAMP(ampId);
        // A chamber naming a module that does not exist is still shown, with
        // its name and whichever panel was found.
        if (!hv)
            qCDebug(lcConfig).noquote()
                << QStringLiteral("ion chamber [%1]: no HV module with id [%2]").arg(name, hvId);
        if (!amp)
            qCDebug(lcConfig).noquote()
                << QStringLiteral("ion chamber [%1]: no amplifier with id [%2]").arg(name, ampId);
        group->placeUnits(hv, amp);

        const Config::Placement place = Config::chamberPlacement(
            Config::readList(*settings, key(name, "Position in Window")), i);
        Base->addWidget(group, place.row, place.col);
        icGroups.append(group);
    }
}

aHV *Body::findHV(const QString &id) const
{
    for (aHV *panel : hvPanels) {
        if (panel->id == id)
            return panel;
    }
    return nullptr;
}

aCA *Body::findAMP(const QString &id) const
{
    for (aCA *panel : ampPanels) {
        if (panel->id == id)
            return panel;
    }
    return nullptr;
}

void Body::newSize()
{
    // The panel has shrunk, but the window's own minimum size is brought up
    // to date only when its layout runs again, a few layout passes later;
    // shrinking before that would be held at the stale minimum. So the
    // shrink waits for the current event to finish and refreshes the
    // window's layout first.
    QTimer::singleShot(0, this, [this] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        if (layout()) {
            layout()->invalidate();
            layout()->activate();
        }
        resize(10, 10);
    });
}
