#pragma once

#include "commun/Interlocuteur.h"

#include <QString>

namespace cc {

// Where the active company's data lies, read once at start-up from the host product's settings, and
// the SQL Server named by SQLSERVER.DAT when there is one.
struct Environnement {
    QString RepertoireBase;
    QString RepertoireSociete;
    QString ServeurSQL;
    QString VersionSQL;
};

// The kind of data source; 1 is not used.
enum class TypeSource { Jet = 0, SqlServer = 2 };

// Base directory, company directory and "vendrax.mdb", joined with the native separator. An empty
// base directory gives a path that begins with the separator.
QString CheminBaseSociete(const Environnement& env);

// A regular file that is not hidden (a dot-file on Unix, the hidden or system attribute on Windows).
// A directory does not count.
bool EstFichierNormal(const QString& chemin);

// Reads the two settings of the host product (read only; a missing one reads as empty) into env.
void LireParametresSociete(Environnement& env);

// Reads the settings and checks that the company's database can be reached. False after a
// message box when it cannot.
bool VerifierEnvironnement(Environnement& env, Interlocuteur& interlocuteur);

} // namespace cc
