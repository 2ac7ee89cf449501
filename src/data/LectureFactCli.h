#pragma once

// Reading FACTCLI for the checks: the rows of a period, and the rows of the invoices being checked.

#include "data/Connexion.h"
#include "data/LignesFacturation.h"
#include "data/Parcours.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace cc {

// The FACTCLI rows of a period: invoice number and dossier, every blank kept, a Null read as the
// empty text; and the amount, as stored.
void ListerFactCliPeriode(Connexion& connexion, const QDate& debut, const QDate& fin,
                          const std::function<void(const QString& numero, const QString& dossier,
                                                   const QVariant& montant)>& recevoir);

// The FACTCLI rows of the invoices being checked. On the walk by lots, the rows of a whole lot come
// with one statement, where the table's comparison allows it (Localisation::comparaisonSure) and a
// number's rows cannot come in another order than its own selection's. A write to FACTCLI can change
// what an invoice finds: the numbers of the lot that may compare equal to a number written are
// dropped from the lot and asked again one by one, so that the database's own rules decide.
class LectureFactCli {
public:
    // complete: every row comes with its locator and every value the program writes, so that a repair
    // can be decided from the rows already read.
    LectureFactCli(Connexion& connexion, Parcours parcours, bool complete);
    bool parLots() const { return lot_.has_value(); }
    // The invoice numbers, untouched, of the invoices to come.
    void prevoir(const std::vector<QString>& numeros);
    // A row of FACTCLI was written for this invoice number (as the walk holds it).
    void ecriture(const QString& numero);
    // The walk moves to the next invoice.
    void nouvelleFacture();
    // Whether the rows of the invoice number come from the lot: only then may a write be decided from
    // them (a number asked alone may have rows whose order its pair's own selection does not keep).
    bool duLot(const QString& numero);
    // Every FACTCLI row of the invoice number, in the order the database returns them.
    const std::vector<LigneTrouvee>& lignes(const QString& numero);

private:
    LectureFactCli(Connexion& connexion, Parcours parcours, bool complete, const Localisation& localisation);
    void oublierEcrits();
    Requete unique_;
    std::optional<Requete> lot_;
    QHash<QString, std::vector<LigneTrouvee>> lignesLot_;
    std::vector<LigneTrouvee> lignes_;
    bool parFacture_ = false; // the rows of one invoice serve all its dossiers
    bool complete_ = false;
    bool egalesDansLOrdre_ = false;
    bool lignesValides_ = false;
    QString numeroLignes_;
    QSet<QString> ecrits_; // FormeLarge of the numbers written since the lot was last looked at
};

} // namespace cc
