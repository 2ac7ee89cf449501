#include "app/Execution.h"

#include "report/Rapport.h"

#include <QFileInfo>
#include <QLocale>
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
    } catch (const ArretControle& a) {
        resultat.arret = a;
    } catch (const Erreur& e) {
        resultat.erreur = e;
    } catch (const std::bad_alloc&) {
        resultat.erreur = Erreur(Erreur::MemoireInsuffisante, QStringLiteral("Mémoire insuffisante"));
    } catch (const std::exception& e) {
        resultat.erreur = Erreur(Erreur::ErreurInterne, QString::fromLocal8Bit(e.what()));
    }
    if (!resultat.reussi()) {
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

QString MessageEchec(const Erreur& erreur, const QString& fichierRapport, const QString& base) {
    const bool erreurDuRapport =
        erreur.numero() == Erreur::AccesFichier || erreur.numero() == Erreur::DisquePlein;
    QString texte;
    if (!base.isEmpty() && !erreurDuRapport)
        texte = QStringLiteral("La base de données %1 a refusé une opération du contrôle.\r\n").arg(base);
    texte += QStringLiteral("Erreur ") + QString::number(erreur.numero()) + QStringLiteral(" : ") +
             erreur.description() + QStringLiteral("\r\n\r\nLe traitement a été interrompu.");
    if (!fichierRapport.isEmpty() && QFileInfo::exists(fichierRapport))
        texte += QStringLiteral(" Le rapport garde les lignes écrites avant l'erreur :\r\n") + fichierRapport;
    return texte;
}

QString MessageArret(const ArretControle& arret, const QString& fichierRapport) {
    QString texte = QStringLiteral("Contrôle arrêté après la facture %1 (%2 sur %3).")
                        .arg(arret.facture)
                        .arg(arret.position)
                        .arg(arret.total);
    texte += QStringLiteral("\r\nLes écritures faites jusque-là sont enregistrées.");
    if (!fichierRapport.isEmpty() && QFileInfo::exists(fichierRapport))
        texte += QStringLiteral(" Le rapport garde les lignes écrites jusque-là :\r\n") + fichierRapport;
    return texte;
}

QString TexteCompteurs(const Compteurs& c) {
    const QLocale francais(QLocale::French, QLocale::France);
    return QStringLiteral("Parcourus : %1 · manquants : %2 · montants différents : %3 · ajoutés : %4 · "
                          "réécrits : %5")
        .arg(francais.toString(c.parcourus), francais.toString(c.manquants),
             francais.toString(c.montantsDifferents), francais.toString(c.ajoutes),
             francais.toString(c.reecrits));
}

QString MessageFin(const QString& fichierRapport) {
    // Kept word for word as the host product's users know it ("à été", the blanks around the lines).
    return QStringLiteral(
               "Traitement terminé, le rapport à été généré.\r\n Désirez-vous ouvrir le fichier ? \r\n") +
           fichierRapport;
}

} // namespace cc
