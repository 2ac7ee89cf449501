#include "data/Environnement.h"

#include "data/ConnexionBase.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace cc {

namespace {

const QString kFinMessage = QStringLiteral("\r\nVeuillez relancer VENDRAX.");

QString lireParametre(const QSettings& parametres, const QString& cle) {
    const QVariant v = parametres.value(cle);
    // An unquoted comma makes the INI reader split the value; put it back as it most likely stood.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

} // namespace

QString CheminBaseSociete(const Environnement& env) {
    const QChar sep = QDir::separator();
    return env.RepertoireBase + sep + env.RepertoireSociete + sep + QStringLiteral("vendrax.mdb");
}

bool EstFichierNormal(const QString& chemin) {
    if (chemin.isEmpty())
        return false;
    const QFileInfo info(chemin);
    if (!info.exists() || !info.isFile())
        return false;
#ifdef Q_OS_WIN
    const DWORD attributs =
        GetFileAttributesW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(chemin).utf16()));
    if (attributs == INVALID_FILE_ATTRIBUTES)
        return false;
    return (attributs & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
#else
    return !info.fileName().startsWith(u'.');
#endif
}

void LireParametresSociete(Environnement& env) {
    const QSettings parametres(QSettings::NativeFormat, QSettings::UserScope,
                               QStringLiteral("VB and VBA Program Settings"), QStringLiteral("VENDRAX9"));
    env.RepertoireBase = lireParametre(parametres, QStringLiteral("Répertoire de base/Nom"));
    env.RepertoireSociete = lireParametre(parametres, QStringLiteral("Société active/Répertoire"));
}

bool VerifierEnvironnement(Environnement& env, Interlocuteur& interlocuteur) {
    LireParametresSociete(env);
    if (env.RepertoireSociete.isEmpty()) {
        interlocuteur.message(QStringLiteral("Aucune société n'est actuellement active.") + kFinMessage,
                              titreApplication(), Icone::Critique);
        return false;
    }

    if (LireFichierSqlServer(env) == TypeSource::Jet) {
        // The file is only looked up here; opening it is the connection's business.
        const QString chemin = CheminBaseSociete(env);
        if (EstFichierNormal(chemin))
            return true;
        interlocuteur.message(QStringLiteral("Impossible d'accèder à ") + chemin + kFinMessage,
                              titreApplication(), Icone::Critique);
        return false;
    }

    const QString messageSqlServer = QStringLiteral("Impossible d'accèder à la base SQL Server ") +
                                     env.RepertoireSociete.toUpper() + kFinMessage;
    // SQLSERVER.DAT gone since the first look: the program would end without a word, so say that the
    // server cannot be reached.
    if (LireFichierSqlServer(env) != TypeSource::SqlServer) {
        interlocuteur.message(messageSqlServer, titreApplication(), Icone::Critique);
        return false;
    }
    // A test connection, silent, released at once: the working one is opened next by OuvrirBase.
    if (OuvrirConnexion(env, CheminBaseSociete(env), TypeSource::SqlServer, true, interlocuteur))
        return true;
    interlocuteur.message(messageSqlServer, titreApplication(), Icone::Critique);
    return false;
}

} // namespace cc
