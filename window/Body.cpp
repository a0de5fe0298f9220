#include "window/Body.h"

#include "amplifier/aCA.h"
#include "app/Logging.h"
#include "client/Tesra.h"
#include "hv/aHV.h"
#include "window/aIC.h"

#include <QCoreApplication>
#include <QLayout>
#include <QTimer>

namespace {

// The keys that HV and amplifier panels share.
template <typename Panel> void configureModule(Panel &panel, const StationModule &module)
{
    panel.id = module.id;
    panel.driver = module.driver;
    panel.ch = module.ch;
    panel.col = module.place.col;
    panel.row = module.place.row;
    panel.colSpan = module.place.colSpan;
    panel.rowSpan = module.place.rowSpan;
    if (!module.styleSheet.isEmpty())
        panel.setStyleSheet(module.styleSheet);
}

} // namespace

Body::Body(const QString &configPath) : QMainWindow(nullptr)
{
    setupUi(this);
    connect(actionQuit, &QAction::triggered, this, &QWidget::close);

    station = Station::read(configPath);
    setUpClient();

    // A table or module that the station names but does not hold leaves an
    // empty selector or a group without that panel; the log says which.
    for (const StationProblem &problem : qAsConst(station.problems)) {
        if (problem.kind == StationProblem::MissingTable ||
            problem.kind == StationProblem::MissingHv || problem.kind == StationProblem::MissingAmp)
            qCDebug(lcConfig).noquote() << problem.text();
    }
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
}

void Body::setUpClient()
{
    clientName = station.clientName;
    client = new Tesra;
    client->SetKeyFile(station.keyFile, clientName);
    client->SetNewSVAddress(station.serverAddress);
    client->SetNewSVPort(station.serverPort);
    client->MakeConnection();
}

void Body::setUpHVModules()
{
    for (const StationHv &module : qAsConst(station.hvModules)) {
        auto *panel = new aHV;
        panel->setClient(client);
        panel->ui.ModuleName->setText(module.name);
        configureModule(*panel, module);
        panel->setVoltageList(module.voltages);
        panel->selectVoltage(module.select);
        panel->setVoltageEditable(module.voltageEditable);
        panel->voltageTolerance = module.tolerance;
        hvPanels.append(panel);
    }
}

void Body::setUpAMPModules()
{
    for (const StationAmp &module : qAsConst(station.ampModules)) {
        auto *panel = new aCA;
        panel->setClient(client);
        panel->setModuleName(module.name);
        configureModule(*panel, module);
        panel->setTCTable(module.tcTable);
        panel->setRangeTable(module.rangeTable);
        panel->setCSprTableFile(module.csprFile);
        panel->setPollErrors(module.pollErrors);
        connect(panel, &aCA::resized, this, &Body::newSize);
        ampPanels.append(panel);
    }
}

void Body::setUpICModules()
{
    for (const StationChamber &chamber : qAsConst(station.chambers)) {
        auto *group = new aIC;
        group->name = chamber.name;
        group->nameColumn = chamber.namePlace.col;
        group->nameRow = chamber.namePlace.row;
        // A chamber naming a module that does not exist is still shown, with
        // its name and whichever panel was found.
        group->placeUnits(chamber.hvIndex < 0 ? nullptr : hvPanels.at(chamber.hvIndex),
                          chamber.ampIndex < 0 ? nullptr : ampPanels.at(chamber.ampIndex));
        Base->addWidget(group, chamber.place.row, chamber.place.col);
        icGroups.append(group);
    }
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
