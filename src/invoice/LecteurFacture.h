#pragma once

#include "data/LectureFactures.h"
#include "invoice/EnregistrementFacture.h"
#include "invoice/LignesCorps.h"

#include <QString>
#include <vector>

namespace cc {

// What LireFacture found. The numbers are the host's own results.
enum class ResultatLecture { Absente = 0, Lue = 1, Ancienne = 7 };

// The text to show for an invoice of the old DOS version (line feeds alone, as the host writes it).
// The reader only says it found one; whoever speaks to the user shows this.
QString MessageFactureAncienne();
inline QString TitreLectureFacture() {
    return QStringLiteral("Lecture d'une facture");
}

// Reads one invoice, header and lines, into the invoice record. Its statements are prepared once.
class LecteurFacture {
public:
    // avecRemises: whether the discount data of the lines is wanted (a check that only looks at the
    // lines' dossiers does without it; the discount cells then read as for a line without any).
    explicit LecteurFacture(Connexion& connexion, Parcours parcours = Parcours::ParLots,
                            bool avecRemises = true);

    // The numbers of the invoices that will be read next, as the callers hold them: their rows are
    // fetched now, a statement per table for the whole lot. Ignored on the reference walk and where
    // the database takes no list of values.
    void prevoir(const std::vector<QString>& numeros);

    // Clears the lines of the record, then reads the invoice of that number (spaces around it
    // ignored). Absente: no such invoice, the header values are those of the previous one.
    // Ancienne: the header values are set and the lines are empty; the caller tells the user.
    // Lue: the invoice is in the record. Throws Erreur on a database failure.
    ResultatLecture LireFacture(const QString& numero, EnregistrementFacture& facture);

private:
    bool avecRemises_;
    LectureFactures tables_;
};

} // namespace cc
