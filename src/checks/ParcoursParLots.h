#pragma once

#include "checks/ContexteControle.h"
#include "checks/GroupeEcritures.h"
#include "commun/ListeTextes.h"
#include "invoice/LecteurFacture.h"

#include <functional>
#include <vector>

namespace cc {

// The non-Null numbers of the next lot of entries, from entry i.
std::vector<QString> NumerosDuLot(const ListeTextes& liste, std::size_t i);

// The walk of a check over its selected records, the same for both checks: the progress bar, the count
// of records walked, the invoices of each lot read ahead, then traiter(i) for record i, then the
// window's pending events and the user's request to stop (the group committed, ArretControle thrown).
// numeros: the invoice number of each record. Nothing when there is no record.
void ParcourirParLots(const ContexteControle& contexte, Compteurs& compteurs, LecteurFacture& lecteur,
                      GroupeEcritures& groupe, const ListeTextes& numeros,
                      const std::function<void(std::size_t i)>& traiter);

// Reads an invoice into the record; an invoice of the old DOS version is told to the user, once
// each time it is read, and recorded. The invoice's lines are in the record unless it is Absente.
ResultatLecture LireFactureParcourue(LecteurFacture& lecteur, Interlocuteur& interlocuteur,
                                     GroupeEcritures& groupe, const QString& numero, const QString& dossier,
                                     EnregistrementFacture& facture);

} // namespace cc
