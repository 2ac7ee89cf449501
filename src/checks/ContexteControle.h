#pragma once

#include "commun/Horloge.h"
#include "commun/Interlocuteur.h"
#include "commun/Progression.h"
#include "data/Connexion.h"
#include "data/Parcours.h"
#include "report/Constats.h"

#include <QDate>

namespace cc {

class Rapport;

// The options of one run, as the window's controls or the batch arguments give them.
struct OptionsControle {
    QDate debut;                    // dte_Date
    QDate fin;                      // dte_Date_Fin
    bool aPartirDesFactures = true; // chk_Facture_FactCli
    bool ajouter = false;           // chk_AjoutEnregistrement
    bool mettreAJour = false;       // chk_MiseAJour
    Parcours parcours = Parcours::ParLots;
};

// What a run did, for the batch summary. Writes count only once the database has carried them out
// and they are committed.
struct Compteurs {
    qint64 parcourus = 0;          // records walked
    qint64 manquants = 0;          // FACTCLI rows found missing
    qint64 montantsDifferents = 0; // amounts found different, repaired or not
    qint64 ajoutes = 0;            // rows added (or, where the write found one after all, rewritten)
    qint64 reecrits = 0;           // amounts rewritten
    // Whether the run found anything: a report line, or an amount that differs and stays so.
    bool trouve(qint64 lignesRapport) const { return lignesRapport > 0 || montantsDifferents > reecrits; }
};

// What every check works with during one run.
struct ContexteControle {
    Connexion& connexion;
    Rapport& rapport;
    Interlocuteur& interlocuteur;
    Progression& progression;
    Horloge horloge;
    // The findings file; none when null.
    FichierConstats* constats = nullptr;
};

enum class EtatFactCli { Absent = 0, MontantDifferent = 1, Identique = 2 };

} // namespace cc
