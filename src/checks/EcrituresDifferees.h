#pragma once

#include "checks/GroupeEcritures.h"
#include "commun/ListeTextes.h"
#include "data/EcritureTableFactCli.h"
#include "data/LectureFactCli.h"
#include "report/Constats.h"

#include <QSet>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace cc {

// A write of the invoice check, with its finding as it stood before the write and its place among
// the findings of the open group.
struct EcritureDifferee {
    EcritureGroupee ecriture;
    QString numero; // as the walk holds it
    std::optional<std::size_t> place;
    LigneConstat ligne;
};

// The writes of the invoice check, made one by one, or kept for later and carried out together.
// Writes are kept for later where they can be decided from the rows of the lot: walking by lots,
// on a database that takes them in groups. An invoice whose number may compare equal to one kept
// has them carried out first; within an invoice, a write whose pair may compare equal to one kept,
// or that needs its own selection, has them carried out first, and the invoice's other writes are
// then made one by one. A group the database did not carry out as asked is rolled back, and every
// write the open transaction held is made again, alone, in order.
class EcrituresDifferees {
public:
    using Genre = GroupeEcritures::Genre;
    // Carries out one write alone and fills its finding; nothing when the database refused it.
    // Throws Erreur.
    using EcrireSeule =
        std::function<std::optional<Genre>(const EcritureDifferee& ecriture, LigneConstat& ligne)>;

    // recherche: told of every row written.
    EcrituresDifferees(GroupeEcritures& groupe, LectureFactCli& recherche, EcrireSeule ecrireSeule);
    EcrituresDifferees(const EcrituresDifferees&) = delete;
    EcrituresDifferees& operator=(const EcrituresDifferees&) = delete;

    // From now on, keeps writes for later and carries them out in groups on this table, before each
    // commit of the group at the latest.
    void activer(EcritureTableFactCli& table);
    bool actives() const { return table_ != nullptr; }

    // The walk moves to the invoice of entry i: writes kept for later that it may find are carried out
    // before it looks.
    void nouvelleFacture(const ListeTextes& numeros, std::size_t i);
    // Whether the lot of FACTCLI rows was read in a transaction since rolled back; lotRelu() once it
    // is read again.
    bool lotARelire() const { return relireLot_; }
    void lotRelu() { relireLot_ = false; }

    // Whether a write of this pair may be kept for later.
    bool peutDifferer(const QString& numero, const QString& dossier) const;
    // Keeps a write for later; ligne: its finding as it will stand once the write is carried out.
    void differer(EcritureGroupee ecriture, LigneConstat ligne);
    // Carries out a write now, alone, after those kept for later. Throws Erreur.
    void ecrireSeule(EcritureGroupee ecriture, const QString& numero, LigneConstat ligne);
    // Carries out the writes kept for later. Throws Erreur.
    void vider();

private:
    std::optional<Genre> faire(const EcritureDifferee& d);
    void placer(std::optional<std::size_t> place, LigneConstat ligne, std::optional<Genre> genre);
    std::vector<EcritureDifferee>& journal();
    void refaireUneParUne(std::vector<EcritureDifferee> attente);
    static EcritureDifferee avantEcriture(EcritureDifferee d);

    GroupeEcritures& groupe_;
    LectureFactCli& recherche_;
    EcrireSeule ecrireSeule_;
    EcritureTableFactCli* table_ = nullptr; // none while writes are made one by one
    bool uneParUne_ = false;                // for the rest of the invoice
    bool relireLot_ = false;
    std::vector<EcritureDifferee> differees_;
    // The writes the open group made, to be made again one by one if it is rolled back.
    std::vector<EcritureDifferee> journal_;
    int groupeJournal_ = -1;
    QSet<QString> numerosDifferes_; // FormeLarge of their numbers
    QSet<QString> pairesDifferees_; // and of their pairs
};

} // namespace cc
