#include "report/Rapport.h"

#include "commun/Erreur.h"
#include "commun/Windows1252.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <utility>

namespace cc {

namespace {

QString joindre(const QString& repertoire, const QString& nom) {
    if (repertoire.isEmpty() || repertoire.endsWith(u'/') || repertoire.endsWith(QDir::separator()))
        return QDir::toNativeSeparators(repertoire + nom);
    return QDir::toNativeSeparators(repertoire + QDir::separator() + nom);
}

} // namespace

Rapport::Rapport(QString repertoire, QString societe, Horloge horloge)
    : repertoire_(std::move(repertoire)), societe_(std::move(societe)), horloge_(std::move(horloge)) {}

Rapport::~Rapport() {
    if (flux_)
        flux_->close();
}

QString Rapport::nomSocietePourFichier(const QString& societe) {
    QString nom = societe;
    for (QChar& c : nom) {
        // The characters that Windows refuses are refused everywhere, so that names stay portable.
        if (c.unicode() < 0x20 || QStringView(u"/\\:*?\"<>|").contains(c))
            c = u'_';
    }
    return nom;
}

void Rapport::OuvrirRapport() {
    // A report left open by a run that failed is closed first; its lines are already on disk.
    if (flux_) {
        flux_->close();
        flux_.reset();
    }
    verrou_.liberer();
    // One reading of the clock names both the report and its backup.
    moment_ = horloge_();
    const QString debut = QStringLiteral("ResultatControl.") + nomSocietePourFichier(societe_) + u'.';
    const QString nom = joindre(repertoire_, debut + moment_.toString(QStringLiteral("yyyy-MM-dd-hh-mm-ss")));
    const QString sauvegarde = joindre(
        repertoire_, debut + moment_.toString(QStringLiteral("yyyy-MM-dd-hh-mmss")) + QStringLiteral(".old"));
    tourne_.clear();
    sauvegarde_.clear();
    if (TournerRapportTermine(nom, sauvegarde)) {
        tourne_ = nom;
        sauvegarde_ = sauvegarde;
    }
    lignes_ = 0;

    const QString action = QStringLiteral("Impossible de créer le rapport");
    // The name is taken by creating the report exclusively: two runs can never both get it. A
    // findings file left without its report keeps its name too.
    constexpr int DernierNumero = 9999;
    for (int suite = 1;; ++suite) {
        base_ = suite == 1 ? nom : nom + u'-' + QString::number(suite);
        // The path is known before anything can fail, so that an error can name it.
        fichier_ = base_ + QStringLiteral(".txt");
        if (suite == DernierNumero) {
            flux_ = CreerFichierNeuf(fichier_, action);
            break;
        }
        if (QFileInfo::exists(FichierConstats()) || QFileInfo(FichierConstats()).isSymLink())
            continue;
        flux_ = ReserverFichier(fichier_, action, &verrou_);
        if (flux_)
            break;
    }
}

QString Rapport::FichierConstats() const {
    return base_.isEmpty() ? QString() : base_ + QStringLiteral(".csv");
}

QString Rapport::CheminActuel(const QString& chemin) const {
    if (!tourne_.isEmpty()) {
        const QString absolu = QFileInfo(chemin).absoluteFilePath();
        for (const QString& fin : {QStringLiteral(".txt"), QStringLiteral(".csv")})
            if (absolu == QFileInfo(tourne_ + fin).absoluteFilePath())
                return sauvegarde_ + fin;
    }
    return chemin;
}

void EcrireOctets(QFile& fichier, const QByteArray& octets, const QString& action) {
    errno = 0;
    if (fichier.write(octets) != octets.size()) {
        const int e = errno;
        // What reached the file stays; the run stops on this error.
        EchecFichier(fichier, action, e);
    }
}

void FermerFichier(std::unique_ptr<QFile> fichier, const QString& action) {
    // A write that failed has already been reported; closing only answers for what is left.
    fichier->unsetError();
    errno = 0;
    const bool ok = fichier->flush();
    const int e = errno;
    fichier->close();
    if (!ok || fichier->error() != QFileDevice::NoError)
        EchecFichier(*fichier, action, e);
}

void Rapport::EcrireRapport(const QString& ligne) {
    if (!flux_)
        return;
    EcrireOctets(*flux_, EncoderWindows1252(ligne) + QByteArrayLiteral("\r\n"),
                 QStringLiteral("Impossible d'écrire dans le rapport"));
    ++lignes_;
}

void Rapport::FermerRapport() {
    if (flux_)
        FermerFichier(std::move(flux_), QStringLiteral("Impossible de fermer le rapport"));
}

} // namespace cc
