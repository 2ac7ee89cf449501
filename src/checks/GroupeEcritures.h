#pragma once

#include "data/Connexion.h"
#include "report/Constats.h"

#include <QElapsedTimer>
#include <functional>
#include <optional>
#include <vector>

namespace cc {

// Writes are grouped in transactions, never splitting one invoice's writes, and committed every
// few hundred invoices (a few thousand where writes are carried out together) or every second: a run
// that is killed loses at most its last group, which the next run does again. The findings file is the
// journal of the writes: a group's rows (its writes and the findings that came with them, in order) are on
// the disk before its COMMIT is sent, and a marker row after it says whether the group was committed
// (groupe validé) or not (the writes shown refused, then groupe annulé). A write counts only once its
// group is committed. A file that cannot take the rows stops the run before the COMMIT, the group rolled
// back: nothing is committed that the file does not hold.
class GroupeEcritures {
public:
    enum class Genre { Ajout, Reecriture };
    // Told of each write once its group is committed, in order: the checks and the undo count their
    // writes each in their own counters.
    using Validee = std::function<void(Genre)>;

    // facturesParGroupe: invoices a group may hold before it is committed.
    GroupeEcritures(Connexion& connexion, FichierConstats* constats, Validee validee, int facturesParGroupe);
    GroupeEcritures(const GroupeEcritures&) = delete;
    GroupeEcritures& operator=(const GroupeEcritures&) = delete;
    // Begins a group, the write lock taken, when none is open: before a write's own selection.
    void avantEcriture();
    // A finding without a write.
    void constat(LigneConstat ligne);
    // A write the database carried out (rows changed); counted when it is committed.
    void ecriture(LigneConstat ligne, Genre genre);
    // The place of a write to be carried out later, its finding kept in order; resoudre() fills it
    // with the finding and, when the database carried it out, the kind of write. A place never filled
    // shows the write refused.
    std::size_t reserver(LigneConstat ligne);
    void resoudre(std::size_t place, LigneConstat ligne, std::optional<Genre> genre);
    // Called before each commit, to carry out the writes kept for later.
    void definirAvantValidation(std::function<void()> avantValidation) {
        avantValidation_ = std::move(avantValidation);
    }
    void definirFacturesParGroupe(int factures) { facturesParGroupe_ = factures; }
    // Tells one group from the next: changes each time a group begins.
    int numero() const { return numero_; }
    void finFacture();
    // Counts an invoice in the open group without committing it.
    void compterFacture();
    // Whether the open group holds enough invoices, or time, to be committed.
    bool echu() const;
    // Commits the open group. Throws Erreur; the group's writes are then rolled back and shown refused.
    void terminer();
    // After a failure of the run: commits what the group holds where the database still can, else
    // rolls it back; never throws.
    void abandonner() noexcept;

private:
    void valider();
    // The rows of the group, on the disk; the group rolled back when the file cannot take them.
    void journaliser();
    // After the commit, or its failure: the counts, the refusals and the marker.
    void conclure(bool valide);
    std::vector<LigneConstat> lignesDuGroupe();
    Connexion& connexion_;
    FichierConstats* constats_;
    Validee validee_;
    int facturesParGroupe_;
    int factures_ = 0;
    int numero_ = 0;
    QElapsedTimer depuis_;
    struct EnAttente {
        LigneConstat ligne;
        std::optional<Genre> genre;
        bool enSuspens = false; // a place reserved and not yet filled
    };
    std::vector<EnAttente> enAttente_;
    std::function<void()> avantValidation_;
    bool journalise_ = false; // the open group's rows are in the findings file
};

} // namespace cc
