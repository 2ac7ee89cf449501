#pragma once

#include "commun/Horloge.h"

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

    // Creates the report of a new run, renaming a same-second report of the same company to its
    // ".old.txt" backup first (where that is refused, the new report takes the stamp followed by "-2",
    // "-3"…). Throws Erreur.
    void OuvrirRapport();
    // Appends one line; does nothing when no report is open. The line is handed to the system
    // before this returns. Throws Erreur (a full disk included).
    void EcrireRapport(const QString& ligne);
    // Closes the open report, its content complete on disk; does nothing when none is open.
    // Throws Erreur when the last bytes cannot be stored; the file is closed all the same.
    void FermerRapport();

    // Path of the last report opened; empty before the first opening.
    const QString& FichierRapport() const { return fichier_; }
    // The findings file beside it, and that file's backup name (empty when the report has none).
    QString FichierConstats() const;
    QString SauvegardeConstats() const;
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
    QString sauvegarde_; // the backup's path without its ending
    QString repertoire_;
    QString societe_;
    Horloge horloge_;
    QString fichier_;
    std::unique_ptr<QFile> flux_;
    qint64 lignes_ = 0;
};

// Creates a file that must be new, renaming a file of that name to the backup name first (replacing
// the backup). Nothing, with renommageRefuse set, when that rename is refused. Throws Erreur.
std::unique_ptr<QFile> CreerFichierNeuf(const QString& nom, const QString& sauvegarde, const QString& action,
                                        bool& renommageRefuse);

} // namespace cc
