#include "app/TerminalLot.h"

#include "commun/LigneStatistiques.h"
#include "commun/TexteChamp.h"

#include <QLocale>

namespace cc {

QString PrefixeTerminal() {
    return QStringLiteral("controle-coherence: ");
}

QString TexteErreurUsage(const QString& message) {
    return PrefixeTerminal() + message + QStringLiteral("\nEssayez « controle-coherence --help ».\n");
}

QString EffacementLigne(bool sequencesAnsi) {
    if (sequencesAnsi)
        return QStringLiteral("\r\x1b[K");
    // Blanks over the whole width of a console line, short of the last column, which would wrap.
    return u'\r' + QString(79, u' ') + u'\r';
}

// The program's name starts the line; the window's title would only say it a second time.
void InterlocuteurTerminal::message(const QString& texte, const QString&, Icone icone) {
    if (silencieux_ && icone == Icone::Information)
        return;
    if (terminal_)
        erreurs_ << EffacementLigne(SequencesAnsi);
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
        *ligne_ << EffacementLigne(SequencesAnsi) << Qt::flush;
    affichee_ = false;
}

namespace {

// The user's locale for a person's numbers (1 996 in French). The C locale's own grouping, 1,996, would
// read as a decimal in a French sentence: there, digits stay ungrouped.
QLocale localeBilan() {
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

} // namespace

// --statistiques is for programs and keeps plain digits; the sum-up is for people.
QString BilanLot(const ResultatExecution& resultat, bool annulation) {
    const QLocale locale = localeBilan();
    if (annulation) {
        const CompteursAnnulation& a = resultat.annulation;
        return QStringLiteral("Écritures à annuler : %1 ; annulées : %2 ; déjà rétablies : %3 ; laissées "
                              "telles quelles : %4")
            .arg(locale.toString(a.ecritures), locale.toString(a.annulees), locale.toString(a.dejaRetablies),
                 locale.toString(a.laissees));
    }
    const Compteurs& c = resultat.compteurs;
    return QStringLiteral("Enregistrements parcourus : %1 ; constats du rapport : %2 ; enregistrements "
                          "manquants : %3 ; montants différents : %4 ; enregistrements ajoutés : %5 ; "
                          "montants réécrits : %6")
        .arg(locale.toString(c.parcourus), locale.toString(resultat.constatsRapport()),
             locale.toString(c.manquants), locale.toString(c.montantsDifferents), locale.toString(c.ajoutes),
             locale.toString(c.reecrits));
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
