#pragma once

#include <QString>
#include <functional>
#include <optional>

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

// What keeps the company's database from being reached at start-up.
enum class ProblemeEnvironnement {
    AucuneSociete,      // no active company in the settings
    BaseInaccessible,   // the company's database file is not there as a normal file
    ServeurInaccessible // the SQL Server named by SQLSERVER.DAT cannot be reached
};

// Reads the settings and looks whether the company's database can be reached; essayerServeur opens a
// test connection to the SQL Server and tells whether it opened. Nothing when all is well.
std::optional<ProblemeEnvironnement> ExaminerEnvironnement(Environnement& env,
                                                           const std::function<bool()>& essayerServeur);

} // namespace cc
