#pragma once

#include "checks/ContexteControle.h"
#include "checks/EcritureFactCli.h"
#include "checks/EcrituresDifferees.h"
#include "checks/GroupeEcritures.h"
#include "commun/ListeTextes.h"
#include "data/EcritureTableFactCli.h"
#include "data/LectureFactCli.h"
#include "data/LectureFactures.h"
#include "invoice/EnregistrementFacture.h"
#include "invoice/LecteurFacture.h"

#include <QDateTime>
#include <QString>
#include <optional>
#include <utility>

namespace cc {

// Walks the invoices of the period and checks that FACTCLI holds each of their dossiers.
class ControleFactures {
public:
    ControleFactures(const ContexteControle& contexte, const OptionsControle& options, Compteurs& compteurs);

    void ListerFactures();
    void ParcourirFactures();
    void ControlerFacture(const QString& numero);
    EtatFactCli ChercherFactCli(const QString& numero, const QString& dossier);
    void MettreAJourMontant(const QString& numero, const QString& dossier);

    // One entry per selected row; a Null number is passed over.
    const ListeTextes& TabFactures() const { return TabFactures_; }
    const EnregistrementFacture& facture() const { return facture_; }

private:
    ContexteControle contexte_;
    OptionsControle options_;
    Compteurs& compteurs_;
    EnregistrementFacture facture_;
    LecteurFacture lecteur_;
    void controlerRang(std::size_t i);
    void ecrireManquant(const QString& numero, const QString& dossier, const QString& devis);
    std::optional<GroupeEcritures::Genre> ecrire(const EcritureDifferee& d, LigneConstat& ligne);
    std::optional<GroupeEcritures::Genre> ajouter(const ValeursFactCli& valeurs, const QString& numero,
                                                  LigneConstat& ligne);
    std::optional<GroupeEcritures::Genre> reecrireMontant(const QString& numero, const QString& dossier,
                                                          double montant, LigneConstat& ligne);
    QDateTime lireDateMaj(const QString& texte);

    // Prepared only when a repair option is on, so that a plain check works on a FACTCLI that cannot
    // be written (a view, a table without rowid).
    std::optional<EcritureFactCli> ecriture_;
    LectureFactCli recherche_;
    GroupeEcritures groupe_;
    EcrituresDifferees differees_;
    QVariant montantTrouve_; // the amount of the row ChercherFactCli compared
    ListeTextes TabFactures_;
    std::size_t finLotFactCli_ = 0; // the first entry past the lot of FACTCLI rows read
    std::pair<QString, QDateTime> dateMaj_;
};

} // namespace cc
