#pragma once

#include <QDate>
#include <QString>
#include <cstdint>
#include <stdexcept>

namespace cc::demo {

// What the company should look like. The defaults give a small demo company; the benchmark companies
// only raise the number of invoices.
struct ParametresDemo {
    qint64 factures = 300;
    std::uint64_t graine = 1;
    QDate debut;
    QDate fin;
    qint64 anciennes = 0;       // invoices of the old DOS version (flag_divers "7"), among the invoices
    double tauxAnomalies = 5.0; // per cent of the invoice-dossier pairs whose FACTCLI row is spoilt
    int lignesMoyennes = 6;     // average number of lines an invoice
    int dossiersMax = 3;        // an invoice bills one to this many dossiers
    double partRemises = 50.0;  // per cent of the lines that have a FACTURES_LIGNE row
    bool index = true;          // indexes on the invoice and dossier numbers, as a host database has them
};

// What was written, for the summary line and the tests.
struct BilanDemo {
    qint64 factures = 0;
    qint64 avoirs = 0;
    qint64 anciennes = 0;
    qint64 lignes = 0;
    qint64 lignesRemise = 0;
    qint64 lignesFactCli = 0;
    qint64 manquantes = 0;   // pairs without a FACTCLI row
    qint64 montantsFaux = 0; // FACTCLI rows whose amount is off
    qint64 enTrop = 0;       // FACTCLI rows naming a dossier that their invoice does not name
    qint64 doublons = 0;     // pairs written twice
};

class ErreurDemo : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes the company database at the given path, replacing any file there. Throws ErreurDemo.
BilanDemo GenererSociete(const ParametresDemo& parametres, const QString& chemin);

} // namespace cc::demo
