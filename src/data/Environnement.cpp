#include "data/Environnement.h"
#include "data/ReglagesHote.h"

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
    const QSettings parametres(QSettings::NativeFormat, QSettings::UserScope, OrganisationReglages(),
                               ApplicationReglages());
    env.RepertoireBase = lireParametre(parametres, CleRepertoireBase());
    env.RepertoireSociete = lireParametre(parametres, CleSocieteActive());
}

std::optional<ProblemeEnvironnement> ExaminerEnvironnement(Environnement& env,
                                                           const std::function<bool()>& essayerServeur) {
    LireParametresSociete(env);
    if (env.RepertoireSociete.isEmpty())
        return ProblemeEnvironnement::AucuneSociete;
    // The file is only looked up here; opening it is the connection's business.
    if (LireFichierSqlServer(env) == TypeSource::Jet) {
        if (EstFichierNormal(CheminBaseSociete(env)))
            return std::nullopt;
        return ProblemeEnvironnement::BaseInaccessible;
    }
    // SQLSERVER.DAT gone since the first look: the program would end without a word, so say that the
    // server cannot be reached.
    if (LireFichierSqlServer(env) != TypeSource::SqlServer || !essayerServeur())
        return ProblemeEnvironnement::ServeurInaccessible;
    return std::nullopt;
}

} // namespace cc
