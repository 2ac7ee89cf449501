#pragma once

#include "checks/ContexteControle.h"
#include "checks/GroupeEcritures.h"
#include "commun/ListeTextes.h"
#include "invoice/EnregistrementFacture.h"
#include "invoice/LecteurFacture.h"

#include <QString>
#include <optional>

namespace cc {

// One selected FACTCLI row.
struct EntreeFactCli {
    QString NumFacture;
    QString NumDossier;
};

// The selected FACTCLI rows, their two texts kept in two compact lists.
class ListeFactCli {
public:
    void vider() {
        factures_.vider();
        dossiers_.vider();
    }
    void ajouter(QStringView facture, QStringView dossier) {
        factures_.ajouter(facture);
        dossiers_.ajouter(dossier);
    }
    std::size_t taille() const { return factures_.taille(); }
    bool vide() const { return factures_.vide(); }
    EntreeFactCli at(std::size_t i) const { return {factures_.texte(i), dossiers_.texte(i)}; }
    const ListeTextes& factures() const { return factures_; }

private:
    ListeTextes factures_;
    ListeTextes dossiers_;
};

// Walks the FACTCLI rows of the period and checks that each row's invoice names its dossier.
// Only reports: nothing is ever written to the database.
class ControleFactCli {
public:
    ControleFactCli(const ContexteControle& contexte, const OptionsControle& options, Compteurs& compteurs);

    void ListerFactCli();
    void ParcourirFactCli();
    void ControlerLigneFactCli(const EntreeFactCli& entree);

    const ListeFactCli& TabFactCli() const { return TabFactCli_; }

private:
    void controlerRang(std::size_t i);
    ContexteControle contexte_;
    OptionsControle options_;
    Compteurs& compteurs_;
    EnregistrementFacture facture_;
    LecteurFacture lecteur_;
    GroupeEcritures groupe_;
    ListeFactCli TabFactCli_;
    std::optional<QString> numeroLu_; // the plain invoice now in the record
};

} // namespace cc
