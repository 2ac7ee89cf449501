#pragma once

#include "data/AccesBase.h"
#include "data/Interlocuteur.h"
#include "invoice/EnregistrementFacture.h"

#include <QString>

namespace cc {

// Results of LireFacture. Callers treat any result above FactureAbsente as a read invoice.
inline constexpr int FactureAbsente = 0;
inline constexpr int FactureLue = 1;
inline constexpr int FactureAncienne = 7;

// The text shown for an invoice of the old DOS version (line feeds alone, as the host writes it).
QString MessageFactureAncienne();
inline QString TitreLectureFacture() {
    return QStringLiteral("Lecture d'une facture");
}

// Reads one invoice, header and lines, into the invoice record. Its two statements are prepared once.
class LecteurFacture {
public:
    LecteurFacture(Connexion& connexion, Interlocuteur& interlocuteur);

    // Clears the lines of the record, then reads the invoice of that number (spaces around it
    // ignored). FactureAbsente: no such invoice, the header values are those of the previous one.
    // FactureAncienne: the user was told, the header values are set and the lines are empty.
    // FactureLue: the invoice is in the record. Throws Erreur on a database failure.
    int LireFacture(const QString& numero, EnregistrementFacture& facture);

private:
    Interlocuteur* interlocuteur_;
    Requete facture_;
    Requete ligne_;
};

} // namespace cc
