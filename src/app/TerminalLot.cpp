#include "app/TerminalLot.h"

#include "commun/LigneStatistiques.h"
#include "commun/TexteChamp.h"

namespace cc {

QString PrefixeTerminal() {
    return QStringLiteral("controle-coherence: ");
}

QString TexteErreurUsage(const QString& message) {
    return PrefixeTerminal() + message + QStringLiteral("\nEssayez « controle-coherence --help ».\n");
}

// The program's name starts the line; the window's title would only say it a second time.
void InterlocuteurTerminal::message(const QString& texte, const QString&, Icone icone) {
    if (silencieux_ && icone == Icone::Information)
        return;
    if (terminal_)
        erreurs_ << QStringLiteral("\r\x1b[K");
    erreurs_ << PrefixeTerminal() << FinsDeLigneSimples(texte) << Qt::endl;
}

bool InterlocuteurTerminal::question(const QString&, const QString&) {
    // Nobody is there to answer; what the question offers (the report) is on standard output.
    return false;
}

void ProgressionLot::definirValeur(int valeur) {
    if (!ligne_ || (chrono_.isValid() && chrono_.elapsed() < 100))
        return;
    chrono_.start();
    *ligne_ << u'\r' << PrefixeTerminal() << valeur << QStringLiteral(" / ") << maximum_ << Qt::flush;
    affichee_ = true;
}

void ProgressionLot::effacer() {
    if (affichee_)
        *ligne_ << QStringLiteral("\r\x1b[K") << Qt::flush;
    affichee_ = false;
}

// Numbers in the user's locale (1 996 in French), read by a person; --statistiques is for programs.
QString BilanLot(const ResultatExecution& resultat, bool annulation) {
    if (annulation) {
        const CompteursAnnulation& a = resultat.annulation;
        return QStringLiteral("Écritures à annuler : %L1 ; annulées : %L2 ; déjà rétablies : %L3 ; laissées "
                              "telles quelles : %L4")
            .arg(a.ecritures)
            .arg(a.annulees)
            .arg(a.dejaRetablies)
            .arg(a.laissees);
    }
    const Compteurs& c = resultat.compteurs;
    return QStringLiteral("Enregistrements parcourus : %L1 ; lignes du rapport : %L2 ; enregistrements "
                          "manquants : %L3 ; montants différents : %L4 ; enregistrements ajoutés : %L5 ; "
                          "montants réécrits : %L6")
        .arg(c.parcourus)
        .arg(resultat.lignesRapport)
        .arg(c.manquants)
        .arg(c.montantsDifferents)
        .arg(c.ajoutes)
        .arg(c.reecrits);
}

QString StatistiquesLot(const ResultatExecution& resultat, bool annulation, const CoutsLot& couts) {
    ValeursStatistiques valeurs;
    if (annulation) {
        const CompteursAnnulation& a = resultat.annulation;
        valeurs = {{cle::Ecritures, a.ecritures},
                   {cle::Annulees, a.annulees},
                   {cle::DejaRetablies, a.dejaRetablies},
                   {cle::Laissees, a.laissees}};
    } else {
        const Compteurs& c = resultat.compteurs;
        valeurs = {{cle::Parcourus, c.parcourus}, {cle::LignesRapport, resultat.lignesRapport},
                   {cle::Manquants, c.manquants}, {cle::MontantsDifferents, c.montantsDifferents},
                   {cle::Ajoutes, c.ajoutes},     {cle::Reecrits, c.reecrits}};
    }
    valeurs += {{cle::Instructions, couts.instructions},
                {cle::LignesLues, couts.lignesLues},
                {cle::MemoireMaximaleKo, couts.memoireMaximaleKo},
                {cle::DureeMs, couts.dureeMs}};
    return LigneStatistiques(valeurs);
}

} // namespace cc
