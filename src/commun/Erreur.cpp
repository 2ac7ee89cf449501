#include "commun/Erreur.h"

#include "commun/TexteErreurSysteme.h"

#include <QDir>
#include <QFile>
#include <cerrno>

namespace cc {

void EchecFichier(const QFile& fichier, const QString& action, int numeroErrno) {
    bool plein = numeroErrno == ENOSPC || numeroErrno == EFBIG;
#ifdef EDQUOT
    plein = plein || numeroErrno == EDQUOT;
#endif
    const int numero = plein ? Erreur::DisquePlein : Erreur::AccesFichier;
    throw Erreur(numero, QStringLiteral("%1 %2 : %3")
                             .arg(action, QDir::toNativeSeparators(fichier.fileName()),
                                  TexteErreurFichier(fichier, numeroErrno)));
}

} // namespace cc
