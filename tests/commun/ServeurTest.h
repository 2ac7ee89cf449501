#pragma once

// The throw-away PostgreSQL server that scripts/postgres starts, and company databases on it with the
// three host tables, dates as real timestamps and amounts as doubles. Shared by every test program of
// tests/serveur.

#include "ConnexionOutil.h"
#include "Lot.h"
#include "Modele.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <optional>
#include <vector>

namespace cc::test {

struct ServeurPostgres {
    QString dossier; // where scripts/postgres keeps serveur.env
    QString hote;
    QString port;
    QString admin;
    QString motAdmin;
    QString pilote;

    // The server that the CTest fixture started ($CC_POSTGRES), or none.
    static std::optional<ServeurPostgres> depuisEnvironnement();

    QString chaine(const QString& base) const;

    // SQLSERVER.DAT as the host product writes it, naming this server the SQL Server way.
    QByteArray sqlServerDat() const {
        return "\"" + hote.toLatin1() + "," + port.toLatin1() + "\"\r\n2008\r\n";
    }

    // scripts/postgres couper|relancer on this server.
    bool commande(const QString& action) const;
};

// An open QODBC connection of the test's own, never the program's.
class ConnexionTest {
public:
    ConnexionTest(const ServeurPostgres& s, const QString& base, const QString& utilisateur,
                  const QString& motDePasse);

    QSqlDatabase base() const { return connexion_.base(); }

    // Runs one statement; false (with a warning) when it fails.
    bool executer(const QString& sql, const QVariantList& valeurs = {}) const;

    QVariant valeur(const QString& sql) const;

private:
    outils::ConnexionOutil connexion_;
};

// A day of the model's text ("yyyy-MM-dd" or "yyyy-MM-dd hh:mm:ss") as a timestamp; Null stays Null.
QVariant jourType(const QVariant& jour);

QVariant dateMajType(const QVariant& dateMaj);

QString texteOuNull(const QVariant& v);

// One FACTCLI row as the comparisons show it, whatever the database's column types: days as
// "yyyy-MM-dd hh:mm:ss", DATE_MAJ as "dd/MM/yyyy hh:mm", amounts to the bit.
QString rangeeNormalisee(const QVariant& facture, const QVariant& dossier, const QVariant& jour,
                         const QVariant& devis, const QVariant& dateMaj, const QVariant& montant);

// What the model expects, in the same form; a row the run writes shows Horodatage for DATE_MAJ.
QStringList factCliAttendu(const std::vector<modele::LigneFactCli>& lignes);

// A company database on the server, created afresh and owned by the company login. Dropped on
// destruction.
class BasePostgres {
public:
    BasePostgres(const ServeurPostgres& serveur, const QString& nom);
    ~BasePostgres();
    BasePostgres(const BasePostgres&) = delete;
    BasePostgres& operator=(const BasePostgres&) = delete;

    const QString& nom() const { return nom_; }
    ConnexionTest& connexion() { return *connexion_; }
    // After the server came back: the old connection is dead.
    void reconnecter();

    void remplir(const modele::Societe& s);

    QStringList contenuFactCli() const;

private:
    ServeurPostgres serveur_;
    QString nom_;
    std::unique_ptr<ConnexionTest> connexion_;
};

// FACTCLI of an SQLite company in the same form as BasePostgres::contenuFactCli().
QStringList contenuFactCliNormalise(const std::vector<RangeeFactCli>& rangees);

// A company name of its own for each database of each test program (both locales run at once).
QString nomSociete(const char* cas);

// Points a Lot's installation at the server: SQLSERVER.DAT in its base directory.
void versServeur(Lot& lot, const ServeurPostgres& s);

} // namespace cc::test
