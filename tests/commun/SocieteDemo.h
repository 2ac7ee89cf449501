#pragma once

// A demo company made by the generator, with a copy of the program beside it, and the means to run
// the program on it under conditions of the test's choosing (a signal at a given moment, a limit, a
// capability taken away).

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

namespace cc::test {

struct Sortie {
    int code = -1; // -2: ended by a signal, -3: did not end in time
    QString sortie;
    QString erreurs;
    QByteArray rapport; // the one report of the run, empty when none
    int rapports = 0;   // how many reports lie beside the program
};

class SocieteDemo {
public:
    // Generates the company once; vierge() puts its database back as generated.
    explicit SocieteDemo(const QStringList& argumentsGenerateur);

    QString racine() const { return dir_.path(); }
    QString repertoireProgramme() const;
    QString programme() const;
    QString base() const;
    QString maison() const;

    // Puts the generated database back, without any journal left by a killed run.
    void vierge() const;

    void effacerRapports() const;

    // Starts the program; the caller waits for it or ends it.
    void demarrer(QProcess& p, const QStringList& arguments, std::function<void()> avantExec = {}) const;

    Sortie attendre(QProcess& p, int delaiMs = 120000) const;

    Sortie lancer(const QStringList& arguments, std::function<void()> avantExec = {}) const;

private:
    QString vierge_() const;
    QTemporaryDir dir_;
};

// The generator's arguments for a company of the given size over the year 2025, with anomalies.
QStringList GenerateurAnnee2025(int factures, int graine);

// Batch runs over the year 2025: the invoice-driven check with both repairs; the FACTCLI-driven check.
QStringList ArgumentsReparation();
QStringList ArgumentsFactCli();

// Runs one query on a database file through a connection of its own; each row's columns joined by "|".
QStringList interroger(const QString& chemin, const QString& sql, QString* erreur = nullptr,
                       bool lectureSeule = true);

// FACTCLI in rowid order; a DATE_MAJ is shown as present or Null only, since runs stamp it from the clock.
QStringList factCliSansHorodatage(const QString& chemin);

// SQLite's integrity check, "ok" when the file is sound; opened read-write, as the next run opens it,
// so that a journal left by a killed run is rolled back first.
QString integrite(const QString& base);

// Empty when every row is whole: as it was before the run, or as the run without fault leaves it.
QString rangeesEntieres(const QStringList& obtenu, const QStringList& avant, const QStringList& apres);

} // namespace cc::test
