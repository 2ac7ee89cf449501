#pragma once

#include "commun/Horloge.h"
#include "report/ColonnesConstats.h"
#include "report/ValeursExactes.h"

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
    // For a write: FACTCLI's row as written and as it was before (none for a row added), each value exactly
    // as bound or as the driver returned it, so that the undo puts back the very values.
    RangeeExacte ecrit = {};
    std::optional<RangeeExacte> avant = {};
    // The transaction group that holds the write within the run (0: none); set by the group.
    int groupe = 0;
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
// A run stopped by the database; the row carries the statement and the driver's words for support.
inline QString ErreurBase() {
    return QStringLiteral("erreur de la base");
}
// The row that closes a group of writes: what became of its commit.
inline QString Validation() {
    return QStringLiteral("validation");
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
inline QString GroupeValide() {
    return QStringLiteral("groupe validé");
}
inline QString GroupeAnnule() {
    return QStringLiteral("groupe annulé");
}
inline QString JamaisValidee() {
    return QStringLiteral("jamais validée");
}
} // namespace action

// The findings of one run, as a CSV file for spreadsheets beside the report: UTF-8 with a byte-order
// mark, ";" between fields, RFC 4180 quoting, CR LF, amounts with a decimal comma, days and times in one
// format each. Each row reaches the system before ecrire returns, like the report's lines; synchroniser
// puts what was written on the disk itself, for the rows that must outlive a crash of the machine.
class FichierConstats {
public:
    // base: the identity of the company database the run opened, on every row.
    explicit FichierConstats(QString base = {}) : base_(std::move(base)) {}
    ~FichierConstats();
    FichierConstats(const FichierConstats&) = delete;
    FichierConstats& operator=(const FichierConstats&) = delete;

    // Creates the file, under a name that must be free, and writes the header row. Throws Erreur.
    void ouvrir(const QString& chemin, const QDateTime& execution, const QString& sens);
    // Appends a row; nothing when no file is open. Throws Erreur.
    void ecrire(const LigneConstat& ligne);
    // Appends the rows and flushes them to the disk, before the writes they record are committed. When
    // the file cannot take them all, it is cut back to the rows it held before. Throws Erreur.
    void ecrireSurDisque(const std::vector<LigneConstat>& lignes);
    // Flushes what was written to the disk; nothing when no file is open. Throws Erreur.
    void synchroniser();
    // Closes the file, complete on disk. Throws Erreur.
    void fermer();
    bool estOuvert() const { return flux_ != nullptr; }
    const QString& chemin() const { return chemin_; }
    qint64 lignesEcrites() const { return lignes_; }

private:
    QByteArray rangee(const LigneConstat& ligne) const;
    QString base_;
    QString chemin_;
    QString execution_;
    QString executionIso_;
    QString sens_;
    std::unique_ptr<QFile> flux_;
    qint64 lignes_ = 0;
};

// An amount as the findings file writes it: the shortest text that reads back to the same double,
// with a decimal comma.
QString MontantConstat(double montant);
// A text field: guarded against a spreadsheet's formulas (NeutraliserFormule), with RFC 4180 quoting
// for ";".
QString ChampCsv(const QString& champ);
// A day or a time of the human columns in their one format (FormatJourConstats, FormatDateConstats),
// whatever form the database held it in; a text that is no date stays as it is. jour: a day, which
// stays one unless it holds a time of day.
QString DateConstats(const QString& texte, bool jour);

} // namespace cc
