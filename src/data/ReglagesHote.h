#pragma once

#include <QString>

namespace cc {

// Where the host product keeps the active company: QSettings' native store of this organisation and
// application, i.e. the registry key HKCU\Software\VB and VBA Program Settings\VENDRAX9 on Windows and
// an INI file elsewhere. The program only reads it; the demo and the tests write it.
inline QString OrganisationReglages() {
    return QStringLiteral("VB and VBA Program Settings");
}
inline QString ApplicationReglages() {
    return QStringLiteral("VENDRAX9");
}
inline QString CleRepertoireBase() {
    return QStringLiteral("Répertoire de base/Nom");
}
inline QString CleSocieteActive() {
    return QStringLiteral("Société active/Répertoire");
}
// The INI file that holds them, off Windows, below a configuration folder ($XDG_CONFIG_HOME).
inline QString FichierReglages(const QString& dossierConfiguration) {
    return dossierConfiguration + u'/' + OrganisationReglages() + u'/' + ApplicationReglages() +
           QStringLiteral(".conf");
}

} // namespace cc
