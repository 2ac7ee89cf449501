#pragma once

#include "checks/ContexteControle.h"
#include "checks/GroupeEcritures.h"
#include "commun/ListeTextes.h"
#include "invoice/EnregistrementFacture.h"
#include "invoice/LecteurFacture.h"

#include <QString>
#include <QVariant>
#include <optional>
#include <vector>

namespace cc {

// One selected FACTCLI row.
struct EntreeFactCli {
    QString NumFacture;
    QString NumDossier;
    QVariant Montant; // Null when the row has none
};

// The selected FACTCLI rows, their two texts kept in two compact lists.
class ListeFactCli {
public:
    void vider() {
        factures_.vider();
        dossiers_.vider();
        montants_.clear();
    }
    void ajouter(QStringView facture, QStringView dossier, const QVariant& montant) {
        factures_.ajouter(facture);
        dossiers_.ajouter(dossier);
        bool nombre = false;
        const double valeur = montant.toDouble(&nombre);
        montants_.push_back(montant.isNull() || !nombre ? std::nullopt : std::optional(valeur));
    }
    std::size_t taille() const { return factures_.taille(); }
    bool vide() const { return factures_.vide(); }
    EntreeFactCli at(std::size_t i) const {
        return {factures_.texte(i), dossiers_.texte(i), montants_[i] ? QVariant(*montants_[i]) : QVariant()};
    }
    const ListeTextes& factures() const { return factures_; }

private:
    ListeTextes factures_;
    ListeTextes dossiers_;
    std::vector<std::optional<double>> montants_; // the findings give the row's amount
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
