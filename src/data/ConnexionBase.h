#pragma once

#include "commun/Erreur.h"
#include "data/Connexion.h"
#include "data/Environnement.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <utility>

namespace cc {

// Reads SQLSERVER.DAT of the base directory, when it is there as a normal file, into env.ServeurSQL
// and env.VersionSQL (a value the file lacks leaves its field as it was). Its presence alone decides
// the kind.
TypeSource LireFichierSqlServer(Environnement& env);

// The SQL Server database of a company: the name of the directory that holds the database file.
QString NomBaseSql(const QString& chemin);

// Opens a connection of the given kind to the company's database. Throws Erreur.
std::unique_ptr<Connexion> Connecter(const Environnement& env, const QString& chemin, TypeSource type);

// The pieces below are plain functions, so that each choice can be checked on its own.

// Delimited values: line ends and commas separate them, double quotes enclose a value (which may then
// hold commas), blanks around an unquoted value are dropped. Reads at most nombreMax values.
QStringList LireValeursDelimitees(QStringView texte, int nombreMax);

// What a database file is, from its first bytes: the SQLite header, or the Jet / ACE header
// ("Standard Jet DB" or "Standard ACE DB" from byte 4). Anything else, an empty file included, is
// no database, and no driver is ever handed it.
enum class FormatBase { SQLite, Jet, Autre };
FormatBase FormatFichierBase(const QByteArray& debut);

// The ODBC drivers registered with the driver manager, by name.
QStringList PilotesOdbcInstalles();

// An attribute value of an ODBC connection string, in braces when it holds what would end or
// split it, so that a name can never add an attribute of its own.
QString ValeurOdbc(const QString& valeur);

// What an ODBC connection is opened with. The password never goes into any message.
struct ParametresOdbc {
    QString chaine;
    QString utilisateur;
    QString motDePasse;
    Dialecte dialecte = Dialecte::Autre;
    int delaiConnexionS = 0;
    int delaiRequeteS = 0;
};

// The SQL Server connection for a company, given the registered drivers. Throws Erreur when no
// suitable driver is registered.
ParametresOdbc ParametresSqlServer(const Environnement& env, const QString& chemin,
                                   const QStringList& pilotes, Systeme systeme = SystemeCourant);
// A server written "host,port" as SQL Server takes it, split into the host and the port (empty when
// the value names no valid port).
std::pair<QString, QString> ServeurEtPort(const QString& serveur);
// A Jet database file through ODBC, given the registered drivers. Throws Erreur when none fits.
ParametresOdbc ParametresJet(const QString& chemin, const QStringList& pilotes,
                             Systeme systeme = SystemeCourant);

// The text of the connection error box. An error that carries a source came from the database
// driver; one without comes from the program (no driver installed, for instance). With the
// database's designation, a French sentence naming it comes first.
QString MessageErreurConnexion(const Erreur& erreur, const QString& designation = {});
// The database as the user knows it: the file, or the SQL Server database and its server.
QString DesignationBase(const Environnement& env, const QString& chemin, TypeSource type);
// The company database a run opened, as the findings file names it: "fichier:" and the file's canonical
// absolute path, or "serveur:" and the server, "/", the database. Never a password.
QString IdentiteBase(const Environnement& env, const QString& chemin, TypeSource type);
// Splits a driver's diagnostic into its source (the bracketed components of its last record) and
// its description; the default source when there is none.
Erreur ErreurPilote(const Erreur& erreur, const QString& sourceParDefaut);

inline QString TitreConnexion() {
    return QStringLiteral("VENDRAX - Connexion à une source de données");
}

} // namespace cc
