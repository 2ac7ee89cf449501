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

[[noreturn]] void echecFichier(const QFile& fichier, const QString& action, int numeroErrno) {
    bool plein = numeroErrno == ENOSPC || numeroErrno == EFBIG;
#ifdef EDQUOT
    plein = plein || numeroErrno == EDQUOT;
#endif
    const int numero = plein ? Erreur::DisquePlein : Erreur::AccesFichier;
    throw Erreur(numero,
                 QStringLiteral("%1 %2 : %3")
                     .arg(action, QDir::toNativeSeparators(fichier.fileName()), fichier.errorString()));
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
    // One reading of the clock names both the report and its backup.
    const QDateTime moment = horloge_();
    const QString debut = QStringLiteral("ResultatControl.") + nomSocietePourFichier(societe_) + u'.';
    const QString nom = joindre(repertoire_, debut + moment.toString(QStringLiteral("yyyy-MM-dd-hh-mm-ss")) +
                                                 QStringLiteral(".txt"));
    const QString sauvegarde =
        joindre(repertoire_,
                debut + moment.toString(QStringLiteral("yyyy-MM-dd-hh-mmss")) + QStringLiteral(".old.txt"));
    // The path is known before anything can fail, so that an error can name it.
    fichier_ = nom;
    lignes_ = 0;

    if (QFileInfo::exists(nom) || QFileInfo(nom).isSymLink()) {
        // A run for the same company started within the same second: its report becomes the backup.
        if (QFileInfo::exists(sauvegarde) && !QFile::remove(sauvegarde))
            throw Erreur(
                Erreur::AccesFichier,
                QStringLiteral("Impossible de remplacer %1").arg(QDir::toNativeSeparators(sauvegarde)));
        QFile ancien(nom);
        if (!ancien.copy(sauvegarde))
            throw Erreur(Erreur::AccesFichier,
                         QStringLiteral("Impossible de copier %1 vers %2 : %3")
                             .arg(QDir::toNativeSeparators(nom), QDir::toNativeSeparators(sauvegarde),
                                  ancien.errorString()));
        if (!ancien.remove())
            throw Erreur(Erreur::AccesFichier, QStringLiteral("Impossible de supprimer %1 : %2")
                                                   .arg(QDir::toNativeSeparators(nom), ancien.errorString()));
    }

    auto flux = std::make_unique<QFile>(nom);
    // Unbuffered: each line goes to the system as soon as it is written, and a full disk shows at once.
    if (!flux->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        const int e = errno;
        echecFichier(*flux, QStringLiteral("Impossible de créer le rapport"), e);
    }
    flux_ = std::move(flux);
}

void Rapport::EcrireRapport(const QString& ligne) {
    if (!flux_)
        return;
    const QByteArray octets = EncoderWindows1252(ligne) + QByteArrayLiteral("\r\n");
    errno = 0;
    const qint64 ecrits = flux_->write(octets);
    if (ecrits != octets.size()) {
        const int e = errno;
        // Keep what reached the file; the run stops on this error.
        echecFichier(*flux_, QStringLiteral("Impossible d'écrire dans le rapport"), e);
    }
    ++lignes_;
}

void Rapport::FermerRapport() {
    if (!flux_)
        return;
    std::unique_ptr<QFile> flux = std::move(flux_);
    // A write that failed has already been reported; closing only answers for what is left.
    flux->unsetError();
    errno = 0;
    const bool ok = flux->flush();
    const int e = errno;
    flux->close();
    if (!ok || flux->error() != QFileDevice::NoError)
        echecFichier(*flux, QStringLiteral("Impossible de fermer le rapport"), e);
}

} // namespace cc
