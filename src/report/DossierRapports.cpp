#include "report/DossierRapports.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace cc {

namespace {

// Tried rather than guessed from permission bits: a read-only mount or an access list count too.
bool inscriptible(const QString& dossier) {
    QTemporaryFile essai(dossier + QStringLiteral("/.controle-coherence-XXXXXX"));
    return essai.open();
}

} // namespace

EmplacementRapports DossierRapports(const QString& repertoireProgramme, const QString& dossierDemande) {
    if (!dossierDemande.isEmpty()) {
        // A folder that cannot be made is told when the report cannot be created in it.
        QDir().mkpath(dossierDemande);
        return {QDir(dossierDemande).absolutePath(), false};
    }
    if (inscriptible(repertoireProgramme))
        return {repertoireProgramme, false};
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();
    const QString dossier = documents + QStringLiteral("/Contrôle de cohérence");
    QDir().mkpath(dossier);
    return {QDir::toNativeSeparators(dossier), true};
}

QString MessageDossierRapports(const EmplacementRapports& emplacement) {
    return QStringLiteral("Le répertoire du programme n'est pas accessible en écriture : les rapports sont "
                          "écrits dans %1")
        .arg(emplacement.dossier);
}

} // namespace cc
