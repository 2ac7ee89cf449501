#pragma once

#include "Plancher.h"

#include <QByteArray>
#include <QString>

namespace cc::banc {

// A throw-away PostgreSQL server started with scripts/postgres for the life of the object, and the
// company databases on it. Every failure throws std::runtime_error with a French message.
class ServeurBanc {
public:
    // Starts the server; its address and administrator login come from DOSSIER/serveur.env.
    ServeurBanc(const QString& script, const QString& dossier);
    // Stops the server and removes its cluster, whatever happened before.
    ~ServeurBanc();
    ServeurBanc(const ServeurBanc&) = delete;
    ServeurBanc& operator=(const ServeurBanc&) = delete;

    // A database owned by the company login, with the tables as the host product's server has them
    // (timestamps, doubles, FACTCLI numbered in insertion order), filled with the rows of a SQLite
    // company and given the same indexes. Returns the number of rows written.
    qint64 charger(const QString& sqlite, const QString& nom);
    // A copy of a loaded database, taken from it as a template.
    void copier(const QString& source, const QString& nom);
    // One statement on a company database, as the company login.
    void executer(const QString& nom, const QString& sql);

    // SQLSERVER.DAT naming this server as the host product names a SQL Server ("host,port").
    QByteArray sqlServerDat() const;
    // The connection that the program opens to a company database.
    Source source(const QString& nom) const;

private:
    void creerBase(const QString& nom, const QString& modele);
    void psql(const QString& base, bool admin, const QString& script);

    QString script_;
    QString dossier_;
    QString bin_;
    QString hote_;
    QString port_;
    QString admin_;
    QString motAdmin_;
};

} // namespace cc::banc
