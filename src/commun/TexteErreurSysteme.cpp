#include "commun/TexteErreurSysteme.h"

#include <cerrno>
#include <cstring>

#ifndef Q_OS_WIN
#include <clocale>
#include <locale.h>
#endif

namespace cc {

namespace {

// The C library's French text, when a French locale and the library's translations are installed.
QString texteFrancaisDuSysteme(int numeroErrno) {
#ifdef Q_OS_WIN
    Q_UNUSED(numeroErrno);
    return {};
#else
    static const locale_t francais = [] {
        for (const char* nom : {"fr_FR.UTF-8", "fr_FR.utf8", "fr_BE.UTF-8", "fr_CA.UTF-8", "fr_CH.UTF-8"})
            if (const locale_t l = newlocale(LC_MESSAGES_MASK | LC_CTYPE_MASK, nom, locale_t(nullptr)))
                return l;
        return locale_t(nullptr);
    }();
    static const locale_t neutre = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    if (!francais || !neutre)
        return {};
    const QString texte = QString::fromUtf8(strerror_l(numeroErrno, francais));
    // Without the translations the text is the C locale's English one.
    if (texte.isEmpty() || texte == QString::fromUtf8(strerror_l(numeroErrno, neutre)))
        return {};
    return texte;
#endif
}

} // namespace

QString TexteErreurSysteme(int numeroErrno) {
    if (const QString systeme = texteFrancaisDuSysteme(numeroErrno); !systeme.isEmpty())
        return systeme;
    switch (numeroErrno) {
    case ENOENT:
        return QStringLiteral("Le fichier ou le dossier n'existe pas");
    case EACCES:
    case EPERM:
        return QStringLiteral("Accès refusé");
    case EEXIST:
        return QStringLiteral("Un fichier de ce nom existe déjà");
    case ENOSPC:
        return QStringLiteral("Plus de place sur le disque");
    case EFBIG:
        return QStringLiteral("Fichier trop grand");
    case EROFS:
        return QStringLiteral("Le disque est en lecture seule");
    case EISDIR:
        return QStringLiteral("C'est un dossier");
    case ENOTDIR:
        return QStringLiteral("Un élément du chemin n'est pas un dossier");
    case ENAMETOOLONG:
        return QStringLiteral("Nom de fichier trop long");
    case EBUSY:
        return QStringLiteral("Le fichier est utilisé par un autre programme");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Trop de fichiers ouverts");
    case EIO:
        return QStringLiteral("Erreur d'entrée-sortie du disque");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("Quota de disque dépassé");
#endif
    default:
        return QStringLiteral("Erreur du système numéro %1").arg(numeroErrno);
    }
}

QString TexteErreurQt(QFileDevice::FileError erreur) {
    switch (erreur) {
    case QFileDevice::ReadError:
        return QStringLiteral("Lecture impossible");
    case QFileDevice::WriteError:
        return QStringLiteral("Écriture impossible");
    case QFileDevice::OpenError:
        return QStringLiteral("Ouverture impossible");
    case QFileDevice::ResourceError:
        return QStringLiteral("Ressources du système insuffisantes (disque plein ?)");
    case QFileDevice::PermissionsError:
        return QStringLiteral("Accès refusé");
    case QFileDevice::RenameError:
        return QStringLiteral("Renommage impossible");
    case QFileDevice::RemoveError:
        return QStringLiteral("Suppression impossible");
    case QFileDevice::CopyError:
        return QStringLiteral("Copie impossible");
    case QFileDevice::ResizeError:
        return QStringLiteral("Changement de taille impossible");
    case QFileDevice::PositionError:
        return QStringLiteral("Déplacement dans le fichier impossible");
    case QFileDevice::AbortError:
        return QStringLiteral("Opération interrompue");
    case QFileDevice::TimeOutError:
        return QStringLiteral("Délai dépassé");
    case QFileDevice::NoError:
    case QFileDevice::FatalError:
    case QFileDevice::UnspecifiedError:
        break;
    }
    return QStringLiteral("Erreur de fichier inconnue");
}

QString TexteErreurFichier(const QFileDevice& fichier, int numeroErrno) {
    return numeroErrno != 0 ? TexteErreurSysteme(numeroErrno) : TexteErreurQt(fichier.error());
}

} // namespace cc
