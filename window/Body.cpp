#include "window/Body.h"

#include "app/Config.h"
#include "client/Tesra.h"

#include <QSettings>

Body::Body(const QString &configPath) : QMainWindow(nullptr)
{
    setupUi(this);
    connect(actionQuit, &QAction::triggered, this, &QWidget::close);

    settings = new QSettings(configPath, QSettings::IniFormat);
    setUpClient();
}

Body::~Body()
{
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

void Body::newSize()
{
    resize(10, 10);
}
