#pragma once

#include "commun/Horloge.h"
#include "report/FichiersExecution.h"

#include <QFile>
#include <QString>
#include <memory>

namespace cc {

// The report of one run: a text file in the program's directory, named after the company and the
// moment of the opening, one line per finding, Windows-1252 bytes and CR LF, nothing else.
class Rapport {
public:
    Rapport(QString repertoire, QString societe, Horloge horloge);
    ~Rapport();
    Rapport(const Rapport&) = delete;
    Rapport& operator=(const Rapport&) = delete;

    // Creates the report of a new run. A same-second report of the same company whose run has ended is
    // moved to its ".old.txt" backup first, with its findings file; where that report is still in use,
    // or the backup name is taken, the new report takes the stamp followed by "-2", "-3"… Each run
    // thus has a report, and a findings file, of its own. Throws Erreur.
    void OuvrirRapport();
    // Appends one line; does nothing when no report is open. The line is handed to the system
    // before this returns. Throws Erreur (a full disk included).
    void EcrireRapport(const QString& ligne);
    // Closes the open report, its content complete on disk; does nothing when none is open.
    // Throws Erreur when the last bytes cannot be stored; the file is closed all the same.
    void FermerRapport();

    // Path of the last report opened; empty before the first opening.
    const QString& FichierRapport() const { return fichier_; }
    // The findings file beside it, under the same name.
    QString FichierConstats() const;
    // Where a file of an earlier run is now: its backup name when this opening moved it there.
    QString CheminActuel(const QString& chemin) const;
    // The moment the report is named after.
    const QDateTime& moment() const { return moment_; }
    bool estOuvert() const { return flux_ != nullptr; }
    // Lines written since the last opening.
    qint64 lignesEcrites() const { return lignes_; }

    // The company name as it may stand in a file name: separators and characters that no file
    // name may hold become "_".
    static QString nomSocietePourFichier(const QString& societe);

private:
    QDateTime moment_;
    QString base_;       // the report's path without its ending
    QString tourne_;     // the same-second report moved by this opening, without its ending; else empty
    QString sauvegarde_; // where it went
    QString repertoire_;
    QString societe_;
    Horloge horloge_;
    QString fichier_;
    std::unique_ptr<QFile> flux_;
    // Held until the next opening: a report that a window still shows is never moved by another run.
    VerrouFichier verrou_;
    qint64 lignes_ = 0;
};

// Writes bytes to a file; raises its failure (a full disk included), naming the action.
void EcrireOctets(QFile& fichier, const QByteArray& octets, const QString& action);
// Closes the file, its content complete on disk; raises the failure of its last bytes.
void FermerFichier(std::unique_ptr<QFile> fichier, const QString& action);

} // namespace cc
