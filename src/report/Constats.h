#pragma once

#include "commun/Horloge.h"
#include "report/ColonnesConstats.h"

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <vector>

namespace cc {

// One row of the findings file: a finding and what was done about it, or a write being undone.
struct LigneConstat {
    QString facture = {};
    QString dossier = {};
    QString devis = {};
    QString constat = {};
    QVariant montantFactCli = {}; // Null when there is none
    std::optional<double> montantFacture = {};
    QString action = {};
    // The row the program wrote (ligne ajoutée, ligne réécrite).
    QString numeroEcrit = {};
    QString jourEcrit = {};
    QDateTime dateMajEcrite = {};
    // The values of a rewritten row before the rewrite (ligne réécrite).
    QString ancienNumero = {};
    QString ancienDossier = {};
    QString ancienJour = {};
    QString ancienDevis = {};
    QString ancienneDateMaj = {};
    // The locator of the row written, as it stands after the write, where the database gives one:
    // the undo finds that very row again.
    QString ligne = {};
};

// What was found and what was done, in the words of the findings file.
namespace constat {
inline QString LigneManquante() {
    return QStringLiteral("ligne manquante");
}
inline QString MontantDifferent() {
    return QStringLiteral("montant différent");
}
inline QString DossierAbsent() {
    return QStringLiteral("dossier absent de la facture");
}
inline QString FactureInexistante() {
    return QStringLiteral("facture inexistante");
}
inline QString FactureAncienne() {
    return QStringLiteral("facture ancienne illisible");
}
} // namespace constat

namespace action {
inline QString Aucune() {
    return QStringLiteral("aucune");
}
inline QString LigneAjoutee() {
    return QStringLiteral("ligne ajoutée");
}
inline QString LigneReecrite() {
    return QStringLiteral("ligne réécrite");
}
inline QString MontantReecrit() {
    return QStringLiteral("montant réécrit");
}
// The pair was found absent, then another writer added it before the row could be: nothing written.
inline QString LigneApparue() {
    return QStringLiteral("ligne apparue entre-temps");
}
inline QString LigneIntrouvable() {
    return QStringLiteral("ligne introuvable");
}
inline QString EcritureRefusee() {
    return QStringLiteral("écriture refusée par la base");
}
inline QString LigneSupprimee() {
    return QStringLiteral("ligne supprimée");
}
inline QString MontantRetabli() {
    return QStringLiteral("montant rétabli");
}
inline QString LigneRetablie() {
    return QStringLiteral("ligne rétablie");
}
inline QString DejaRetablie() {
    return QStringLiteral("déjà rétablie");
}
inline QString ModifieeDepuis() {
    return QStringLiteral("modifiée depuis");
}
} // namespace action

// The findings of one run, as a CSV file for spreadsheets beside the report: UTF-8 with a byte-order
// mark, ";" between fields, RFC 4180 quoting, CR LF, amounts with a decimal comma, dates ISO 8601.
// Each row reaches the system before ecrire returns, like the report's lines.
class FichierConstats {
public:
    FichierConstats() = default;
    ~FichierConstats();
    FichierConstats(const FichierConstats&) = delete;
    FichierConstats& operator=(const FichierConstats&) = delete;

    // Creates the file and writes the header row; a file of that name (a same-second run's) is renamed
    // to the backup name first. Throws Erreur.
    void ouvrir(const QString& chemin, const QString& sauvegarde, const QDateTime& execution,
                const QString& sens);
    // Appends a row; nothing when no file is open. Throws Erreur.
    void ecrire(const LigneConstat& ligne);
    // Closes the file, complete on disk. Throws Erreur.
    void fermer();
    bool estOuvert() const { return flux_ != nullptr; }
    const QString& chemin() const { return chemin_; }
    qint64 lignesEcrites() const { return lignes_; }

private:
    QString chemin_;
    QString execution_;
    QString sens_;
    std::unique_ptr<QFile> flux_;
    qint64 lignes_ = 0;
};

// An amount as the findings file writes it: the shortest text that reads back to the same double,
// with a decimal comma.
QString MontantConstat(double montant);
// A field with RFC 4180 quoting for ";".
QString ChampCsv(const QString& champ);

} // namespace cc
