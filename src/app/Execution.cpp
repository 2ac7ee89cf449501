#include "app/Execution.h"

#include "report/Rapport.h"

#include <new>

namespace cc {

ResultatExecution ExecuterControle(const ContexteControle& contexte, const OptionsControle& options) {
    ResultatExecution resultat;
    Rapport& rapport = contexte.rapport;
    try {
        rapport.OuvrirRapport();
        resultat.fichierRapport = rapport.FichierRapport();
        ExecuterVerification(contexte, options, resultat.compteurs);
        rapport.FermerRapport();
    } catch (const Erreur& e) {
        resultat.erreur = e;
    } catch (const std::bad_alloc&) {
        resultat.erreur = Erreur(Erreur::MemoireInsuffisante, QStringLiteral("Mémoire insuffisante"));
    } catch (const std::exception& e) {
        resultat.erreur = Erreur(Erreur::ErreurInterne, QString::fromLocal8Bit(e.what()));
    }
    if (resultat.erreur) {
        // Rows already saved stay saved: an open group of writes is committed, not lost.
        try {
            if (contexte.connexion.enTransaction())
                contexte.connexion.validerTransaction();
        } catch (const Erreur&) {
        }
        try {
            rapport.FermerRapport();
        } catch (const Erreur&) {
        }
    }
    resultat.fichierRapport = rapport.FichierRapport();
    resultat.lignesRapport = rapport.lignesEcrites();
    return resultat;
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
