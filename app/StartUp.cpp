#include "app/StartUp.h"

#include "app/Logging.h"

#include <QCoreApplication>
#include <QTranslator>

namespace StartUp {

bool japaneseRequested(const QStringList &arguments)
{
    bool japanese = true;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("-j"))
            japanese = true;
        else if (arguments.at(i) == QLatin1String("-e"))
            japanese = false;
    }
    return japanese;
}

bool installLanguage(QCoreApplication &app, QTranslator &translator, bool japanese)
{
    bool installed = false;
    if (japanese &&
        translator.load(QStringLiteral(":Brenlow_ja_JP"), QCoreApplication::applicationDirPath()))
        installed = app.installTranslator(&translator);
    qCDebug(lcWindow).noquote() << "interface language:" << (installed ? "Japanese" : "English");
    return installed;
}

} // namespace StartUp
