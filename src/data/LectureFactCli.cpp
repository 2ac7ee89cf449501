#include "data/LectureFactCli.h"

#include "commun/FormeLarge.h"
#include "commun/TexteChamp.h"
#include "data/ColonnesFactCli.h"

namespace cc {

void ListerFactCliPeriode(Connexion& connexion, const QDate& debut, const QDate& fin,
                          const std::function<void(const QString& numero, const QString& dossier,
                                                   const QVariant& montant)>& recevoir) {
    const QString& jour = NomColonne(ColonneFactCli::Jour);
    Requete lister(connexion, QStringLiteral("SELECT ") + NomColonne(ColonneFactCli::NumFacture) +
                                  QStringLiteral(", ") + NomColonne(ColonneFactCli::NumDossier) +
                                  QStringLiteral(", ") + NomColonne(ColonneFactCli::Montant) +
                                  QStringLiteral(" FROM ") + TableFactCli + QStringLiteral(" WHERE ") + jour +
                                  QStringLiteral(" >= ? AND ") + jour + QStringLiteral(" <= ?"));
    lister.executer(BornesPeriode(connexion, debut, fin));
    while (lister.suivant())
        recevoir(TexteValeur(lister.valeur(0)), TexteValeur(lister.valeur(1)), lister.valeur(2));
    lister.terminer();
}

LectureFactCli::LectureFactCli(Connexion& connexion, Parcours parcours, bool complete)
    : LectureFactCli(connexion, parcours, complete, LocaliserLignes(connexion, TableFactCli, ClesFactCli())) {
}

LectureFactCli::LectureFactCli(Connexion& connexion, Parcours parcours, bool complete, const Localisation& l)
    : unique_(connexion, QStringLiteral("SELECT ") +
                             ListeColonnesFactCli(connexion, l, ColonnesLues(complete), false) +
                             QStringLiteral(" FROM ") + TableFactCli + QStringLiteral(" WHERE ") +
                             NomColonne(ColonneFactCli::NumFacture) + QStringLiteral(" = ?")),
      complete_(complete), egalesDansLOrdre_(l.egalesDansLOrdre) {
    parFacture_ = parcours != Parcours::Reference;
    if (parcours == Parcours::ParLots && !connexion.pieces().listeDeValeurs.isEmpty() && l.comparaisonSure)
        lot_.emplace(connexion,
                     SqlLot(connexion, ListeColonnesFactCli(connexion, l, ColonnesLues(complete), true),
                            TableFactCli, NomColonne(ColonneFactCli::NumFacture), l));
}

void LectureFactCli::ecriture(const QString& numero) {
    // A row rewritten may now bear another spelling of its dossier (d1 for D1 where the database takes
    // them for one): the invoice's rows are read again, even for its other dossiers.
    lignesValides_ = false;
    if (!lignesLot_.isEmpty())
        ecrits_.insert(FormeLarge(numero));
}

void LectureFactCli::oublierEcrits() {
    if (ecrits_.isEmpty())
        return;
    // The numbers that a write may answer are dropped from the lot and asked again one by one (once
    // for all the writes of a group).
    lignesLot_.removeIf([&](const auto& entree) { return ecrits_.contains(FormeLarge(entree.key())); });
    ecrits_.clear();
}

bool LectureFactCli::duLot(const QString& numero) {
    oublierEcrits();
    return lignesLot_.contains(numero);
}

void LectureFactCli::nouvelleFacture() {
    lignesValides_ = false;
}

void LectureFactCli::prevoir(const std::vector<QString>& numeros) {
    lignesLot_.clear();
    ecrits_.clear();
    if (!lot_)
        return;
    QStringList cles;
    for (const QString& n : numeros) {
        if (lignesLot_.contains(n))
            continue;
        lignesLot_.insert(n, {});
        cles.append(n);
    }
    if (cles.isEmpty())
        return;
    lot_->executer(ValeursDuLot(cles));
    // Each row's dossier as stored, every blank kept.
    QHash<QString, QStringList> stockes;
    while (lot_->suivant()) {
        const QString numero = lot_->valeur(0).toString();
        lignesLot_[numero].push_back(LireLigneFactCli(*lot_, ColonnesLues(complete_)));
        stockes[numero] << TexteValeur(lot_->valeur(NomColonne(ColonneFactCli::NumDossier)));
    }
    lot_->terminer();
    // Where two rows of a number might both answer one dossier, which comes first is the order the
    // selection of that number returns (an index may set it), which the lot cannot tell: the number
    // is asked alone. Rows whose dossiers are the same characters come in rowid order where the
    // table's indexes keep it.
    lignesLot_.removeIf([&](const auto& entree) {
        const std::vector<LigneTrouvee>& lignes = entree.value();
        if (lignes.size() < 2)
            return false;
        const QStringList& stocke = stockes[entree.key()];
        QHash<QString, QString> dossiers; // FormeLarge -> the dossier as stored
        for (std::size_t i = 0; i < lignes.size(); ++i) {
            const QString& ici = stocke[qsizetype(i)];
            const QString forme = FormeLarge(lignes[i].dossier);
            if (const auto vu = dossiers.constFind(forme); vu != dossiers.cend()) {
                if (!egalesDansLOrdre_ || *vu != ici)
                    return true;
            } else {
                dossiers.insert(forme, ici);
            }
        }
        return false;
    });
}

const std::vector<LigneTrouvee>& LectureFactCli::lignes(const QString& numero) {
    oublierEcrits();
    if (const auto it = lignesLot_.constFind(numero); it != lignesLot_.cend())
        return *it;
    if (parFacture_ && lignesValides_ && numeroLignes_ == numero)
        return lignes_;
    lignes_.clear();
    unique_.executer({numero});
    while (unique_.suivant())
        lignes_.push_back(LireLigneFactCli(unique_, ColonnesLues(complete_)));
    unique_.terminer();
    lignesValides_ = true;
    numeroLignes_ = numero;
    return lignes_;
}

} // namespace cc
