#include "report/Rapport.h"

#include "commun/Erreur.h"
#include "commun/Windows1252.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <filesystem>
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

std::unique_ptr<QFile> CreerFichierNeuf(const QString& nom, const QString& sauvegarde, const QString& action,
                                        bool& renommageRefuse) {
    renommageRefuse = false;
    // Another run may create the same name at the same moment: a few rounds settle it.
    for (int essai = 0;; ++essai) {
        if (QFileInfo::exists(nom) || QFileInfo(nom).isSymLink()) {
            // A run for the same company started within the same second: its file becomes the backup.
            // Renamed, never copied: a run still writing into it goes on writing into the backup.
            std::error_code erreur;
            std::filesystem::rename(std::filesystem::path(nom.toStdU16String()),
                                    std::filesystem::path(sauvegarde.toStdU16String()), erreur);
            if (erreur) {
                renommageRefuse = true;
                return nullptr;
            }
        }
        auto fichier = std::make_unique<QFile>(nom);
        // Unbuffered: each line goes to the system as soon as it is written, and a full disk shows at once.
        if (fichier->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return fichier;
        const int e = errno;
        if (!QFileInfo::exists(nom) || essai >= 4)
            EchecFichier(*fichier, action, e);
    }
}

void Rapport::OuvrirRapport() {
    // A report left open by a run that failed is closed first; its lines are already on disk.
    if (flux_) {
        flux_->close();
        flux_.reset();
    }
    // One reading of the clock names both the report and its backup.
    moment_ = horloge_();
    const QString debut = QStringLiteral("ResultatControl.") + nomSocietePourFichier(societe_) + u'.';
    const QString stamp = moment_.toString(QStringLiteral("yyyy-MM-dd-hh-mm-ss"));
    base_ = joindre(repertoire_, debut + stamp);
    sauvegarde_ = joindre(repertoire_, debut + moment_.toString(QStringLiteral("yyyy-MM-dd-hh-mmss")) +
                                           QStringLiteral(".old"));
    // The path is known before anything can fail, so that an error can name it.
    fichier_ = base_ + QStringLiteral(".txt");
    lignes_ = 0;

    const QString action = QStringLiteral("Impossible de créer le rapport");
    bool refuse = false;
    std::unique_ptr<QFile> flux =
        CreerFichierNeuf(fichier_, sauvegarde_ + QStringLiteral(".txt"), action, refuse);
    // The same-second report cannot be renamed (held open by a program that forbids it): this run
    // takes the next free name instead, and has no backup.
    for (int suite = 2; !flux; ++suite) {
        base_ = joindre(repertoire_, debut + stamp + u'-' + QString::number(suite));
        sauvegarde_.clear();
        fichier_ = base_ + QStringLiteral(".txt");
        if (!QFileInfo::exists(fichier_) && !QFileInfo(fichier_).isSymLink())
            flux = CreerFichierNeuf(fichier_, QString(), action, refuse);
    }
    flux_ = std::move(flux);
}

QString Rapport::FichierConstats() const {
    return base_.isEmpty() ? QString() : base_ + QStringLiteral(".csv");
}

QString Rapport::SauvegardeConstats() const {
    return sauvegarde_.isEmpty() ? QString() : sauvegarde_ + QStringLiteral(".csv");
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
        EchecFichier(*flux_, QStringLiteral("Impossible d'écrire dans le rapport"), e);
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
        EchecFichier(*flux, QStringLiteral("Impossible de fermer le rapport"), e);
}

} // namespace cc
