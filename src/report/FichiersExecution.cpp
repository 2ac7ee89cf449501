#include "report/FichiersExecution.h"

#include "commun/Erreur.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cc {

VerrouFichier::VerrouFichier(VerrouFichier&& autre) noexcept
    : descripteur_(std::exchange(autre.descripteur_, -1)) {}

VerrouFichier& VerrouFichier::operator=(VerrouFichier&& autre) noexcept {
    if (this != &autre) {
        liberer();
        descripteur_ = std::exchange(autre.descripteur_, -1);
    }
    return *this;
}

void VerrouFichier::liberer() {
#ifndef Q_OS_WIN
    // Closing the descriptor lets the lock go.
    if (descripteur_ >= 0)
        ::close(descripteur_);
#endif
    descripteur_ = -1;
}

namespace {

bool existe(const QString& nom) {
    const QFileInfo info(nom);
    return info.exists() || info.isSymLink();
}

// A rename that fails, rather than replaces, when the new name is taken.
bool renommerSansRemplacer(const QString& de, const QString& vers) {
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(de).utf16()),
                       reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(vers).utf16()), 0) != 0;
#else
    // The link is refused when the name exists; a system without hard links leaves the file in place.
    if (::link(QFile::encodeName(de).constData(), QFile::encodeName(vers).constData()) != 0)
        return false;
    ::unlink(QFile::encodeName(de).constData());
    return true;
#endif
}

std::unique_ptr<QFile> ouvrirEnEcriture(const QString& nom, QIODevice::OpenMode mode, const QString& action) {
    auto fichier = std::make_unique<QFile>(nom);
    errno = 0;
    // Unbuffered: each line goes to the system as soon as it is written, and a full disk shows at once.
    if (fichier->open(QIODevice::WriteOnly | QIODevice::Unbuffered | mode))
        return fichier;
    const int e = errno;
    if (mode.testFlag(QIODevice::NewOnly) && existe(nom))
        return nullptr;
    EchecFichier(*fichier, action, e);
}

#ifndef Q_OS_WIN
// The file is made and locked under a name of this process's own, then linked to its real name:
// no other run can see it under that name before it is locked.
std::unique_ptr<QFile> reserverVerrouille(const QString& nom, const QString& action, VerrouFichier& verrou) {
    const QFileInfo info(nom);
    int descripteur = -1;
    QByteArray provisoire;
    for (int essai = 0; descripteur < 0; ++essai) {
        provisoire = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() + u'.' +
                                       QString::number(QCoreApplication::applicationPid()) + u'-' +
                                       QString::number(essai));
        descripteur = ::open(provisoire.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        const int e = errno;
        if (descripteur < 0 && (e != EEXIST || essai >= 100))
            EchecFichier(QFile(nom), action, e);
    }
    VerrouFichier garde(descripteur);
    ::flock(descripteur, LOCK_EX);
    const bool lie = ::link(provisoire.constData(), QFile::encodeName(nom).constData()) == 0;
    const int e = errno;
    ::unlink(provisoire.constData());
    if (!lie) {
        if (e == EEXIST)
            return nullptr;
        if (e != EPERM && e != ENOTSUP && e != EOPNOTSUPP && e != ENOSYS)
            EchecFichier(QFile(nom), action, e);
        // No hard links here: created, then locked at once.
        auto fichier = ouvrirEnEcriture(nom, QIODevice::NewOnly, action);
        if (fichier) {
            ::flock(fichier->handle(), LOCK_EX | LOCK_NB);
            verrou = VerrouFichier(::dup(fichier->handle()));
        }
        return fichier;
    }
    auto fichier = ouvrirEnEcriture(nom, QIODevice::Append, action);
    verrou = std::move(garde);
    return fichier;
}
#endif

} // namespace

std::unique_ptr<QFile> ReserverFichier(const QString& nom, const QString& action, VerrouFichier* verrou) {
#ifndef Q_OS_WIN
    if (verrou)
        return reserverVerrouille(nom, action, *verrou);
#else
    Q_UNUSED(verrou);
#endif
    return ouvrirEnEcriture(nom, QIODevice::NewOnly, action);
}

std::unique_ptr<QFile> CreerFichierNeuf(const QString& nom, const QString& action) {
    auto fichier = ReserverFichier(nom, action);
    if (!fichier)
        EchecFichier(QFile(nom), action, EEXIST);
    return fichier;
}

bool TournerRapportTermine(const QString& base, const QString& sauvegarde) {
    const QString rapport = base + QStringLiteral(".txt");
    const QString constats = base + QStringLiteral(".csv");
    const QString sauvegardeRapport = sauvegarde + QStringLiteral(".txt");
    const QString sauvegardeConstats = sauvegarde + QStringLiteral(".csv");
    if (existe(sauvegardeRapport) || existe(sauvegardeConstats))
        return false;
#ifndef Q_OS_WIN
    // A run holds its report locked as long as it uses it. Not blocking: a FIFO or the like is no report.
    const int descripteur =
        ::open(QFile::encodeName(rapport).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (descripteur < 0)
        return false;
    const VerrouFichier garde(descripteur);
    struct stat ouvert {};
    struct stat nomme {};
    if (::fstat(descripteur, &ouvert) != 0 || !S_ISREG(ouvert.st_mode) ||
        ::flock(descripteur, LOCK_EX | LOCK_NB) != 0)
        return false;
    // Another run may have moved it between the opening and the lock.
    if (::lstat(QFile::encodeName(rapport).constData(), &nomme) != 0 || nomme.st_ino != ouvert.st_ino ||
        nomme.st_dev != ouvert.st_dev)
        return false;
#endif
    // The findings file first: where the report cannot be moved (Windows refuses while a run holds it
    // open), it is put back and the pair stays together.
    const bool avecConstats = existe(constats);
    if (avecConstats && !renommerSansRemplacer(constats, sauvegardeConstats))
        return false;
    if (renommerSansRemplacer(rapport, sauvegardeRapport))
        return true;
    if (avecConstats)
        renommerSansRemplacer(sauvegardeConstats, constats);
    return false;
}

} // namespace cc
