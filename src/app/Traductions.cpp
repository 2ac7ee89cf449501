#include "app/Traductions.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace cc {

QTranslator* ChargerTraductionsQt() {
    auto traducteur = std::make_unique<QTranslator>(QCoreApplication::instance());
    for (const QString& dossier :
         {QStringLiteral(":/i18n"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)}) {
        if (traducteur->load(QStringLiteral("qtbase_fr"), dossier) &&
            QCoreApplication::installTranslator(traducteur.get()))
            return traducteur.release();
    }
    return nullptr;
}

} // namespace cc
