#include "app/Execution.h"

#include "checks/Annulation.h"
#include "report/Rapport.h"

#include <functional>

#include <new>

namespace cc {

namespace {

// Opens the report and the findings file, runs the work, closes them. A failure stops the work but
// keeps every line written and every row saved; it is returned, never thrown.
ResultatExecution executer(const ContexteControle& contexte, const QString& sens,
                           const std::function<void(ResultatExecution&)>& travail) {
    ResultatExecution resultat;
    Rapport& rapport = contexte.rapport;
    try {
        rapport.OuvrirRapport();
        resultat.fichierRapport = rapport.FichierRapport();
        if (contexte.constats)
            contexte.constats->ouvrir(rapport.FichierConstats(), rapport.SauvegardeConstats(),
                                      rapport.moment(), sens);
        travail(resultat);
        rapport.FermerRapport();
        if (contexte.constats)
            contexte.constats->fermer();
    } catch (const Erreur& e) {
        resultat.erreur = e;
    } catch (const std::bad_alloc&) {
        resultat.erreur = Erreur(Erreur::MemoireInsuffisante, QStringLiteral("Mémoire insuffisante"));
    } catch (const std::exception& e) {
        resultat.erreur = Erreur(Erreur::ErreurInterne, QString::fromLocal8Bit(e.what()));
    }
    if (resultat.erreur) {
        // The checks have committed what they could; anything still open is not counted anywhere.
        contexte.connexion.annulerTransaction();
        try {
            rapport.FermerRapport();
        } catch (const Erreur&) {
        }
        try {
            if (contexte.constats)
                contexte.constats->fermer();
        } catch (const Erreur&) {
        }
    }
    resultat.fichierRapport = rapport.FichierRapport();
    resultat.lignesRapport = rapport.lignesEcrites();
    if (contexte.constats)
        resultat.fichierConstats = contexte.constats->chemin();
    return resultat;
}

} // namespace

ResultatExecution ExecuterControle(const ContexteControle& contexte, const OptionsControle& options) {
    return executer(contexte,
                    options.aPartirDesFactures ? QStringLiteral("factures") : QStringLiteral("factcli"),
                    [&](ResultatExecution& r) { ExecuterVerification(contexte, options, r.compteurs); });
}

ResultatExecution ExecuterAnnulation(const ContexteControle& contexte, const QString& fichierConstats) {
    return executer(contexte, QStringLiteral("annulation"),
                    [&](ResultatExecution& r) { AnnulerEcritures(contexte, fichierConstats, r.annulation); });
}

QString MessageEchec(const Erreur& erreur, const QString& fichierRapport) {
    QString texte = QStringLiteral("Erreur ") + QString::number(erreur.numero()) + QStringLiteral(" : ") +
                    erreur.description() + QStringLiteral("\r\n\r\nLe traitement a été interrompu.");
    if (!fichierRapport.isEmpty())
        texte += QStringLiteral(" Le rapport garde les lignes écrites avant l'erreur :\r\n") + fichierRapport;
    return texte;
}

QString MessageFin(const QString& fichierRapport) {
    // Kept word for word as the host product's users know it ("à été", the blanks around the lines).
    return QStringLiteral(
               "Traitement terminé, le rapport à été généré.\r\n Désirez-vous ouvrir le fichier ? \r\n") +
           fichierRapport;
}

} // namespace cc
