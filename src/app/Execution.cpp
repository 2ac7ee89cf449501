#include "app/Execution.h"

#include "checks/Annulation.h"
#include "report/Rapport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTextStream>
#include <functional>
#include <new>

namespace cc {

namespace {

// Far beyond any run's findings file (some ten million rows), and short of what a careless copy or a
// device could hand over.
constexpr qint64 TailleMaximaleConstats = qint64(2) << 30;

// Opens the report and the findings file, runs the work, closes them. A failure, or a stop the user
// asked for, ends the work but keeps every line written and every row saved; it is returned, never
// thrown.
ResultatExecution executer(const ContexteControle& contexte, const QString& sens,
                           const std::function<void(ResultatExecution&)>& travail) {
    ResultatExecution resultat;
    Rapport& rapport = contexte.rapport;
    try {
        rapport.OuvrirRapport();
        resultat.fichierRapport = rapport.FichierRapport();
        if (contexte.constats)
            contexte.constats->ouvrir(rapport.FichierConstats(), rapport.moment(), sens);
        travail(resultat);
        rapport.FermerRapport();
        if (contexte.constats)
            contexte.constats->fermer();
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
        // The checks have committed what they could; anything still open is not counted anywhere.
        contexte.connexion.annulerTransaction();
        if (resultat.erreur && !resultat.erreur->details().isEmpty() && contexte.constats &&
            contexte.constats->estOuvert()) {
            // For support: what the box leaves out, the statement refused and the driver's words.
            try {
                contexte.constats->ecrire(
                    {.constat = constat::ErreurBase() + QStringLiteral(" : ") +
                                QString(resultat.erreur->details()).replace(u'\n', QStringLiteral(" ; ")),
                     .action = action::Aucune()});
            } catch (const Erreur&) {
            }
        }
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

ResultatExecution ExecuterAnnulation(const ContexteControle& contexte, const QString& fichierConstats,
                                     const QString& identiteBase) {
    return executer(contexte, QStringLiteral("annulation"), [&](ResultatExecution& r) {
        // An undo within the second of its run may have moved that run's files to their backup names:
        // the writes to undo are read wherever the file now is.
        AnnulerEcritures(contexte, contexte.rapport.CheminActuel(fichierConstats), identiteBase,
                         r.annulation);
    });
}

std::optional<QString> ProblemeFichierConstats(const QString& chemin) {
    const QFileInfo info(chemin);
    const QString nom = QDir::toNativeSeparators(chemin);
    if (!info.exists())
        return QStringLiteral("Le fichier de constats %1 n'existe pas.").arg(nom);
    if (info.isDir())
        return QStringLiteral("%1 est un dossier, pas un fichier de constats.").arg(nom);
    // A pipe would block the opening, a device never end: neither is opened.
    if (!info.isFile())
        return QStringLiteral("%1 n'est pas un fichier ordinaire (tube, périphérique…), pas un fichier de "
                              "constats.")
            .arg(nom);
    if (info.size() > TailleMaximaleConstats)
        return QStringLiteral("Le fichier de constats %1 dépasse 2 Go : aucun contrôle n'en écrit d'aussi "
                              "gros, ce n'en est pas un.")
            .arg(nom);
    // Opening it is the only sure test: access lists, locks and the like escape the permission bits.
    QFile fichier(chemin);
    if (!fichier.open(QIODevice::ReadOnly))
        return info.isReadable()
                   ? QStringLiteral("Le fichier de constats %1 ne peut pas être ouvert.").arg(nom)
                   : QStringLiteral("Le fichier de constats %1 ne peut pas être lu : vous n'avez pas le "
                                    "droit de le lire.")
                         .arg(nom);
    return std::nullopt;
}

QString MessageEchec(const Erreur& erreur, const QString& fichierRapport, const QString& base) {
    const bool erreurDuRapport =
        erreur.numero() == Erreur::AccesFichier || erreur.numero() == Erreur::DisquePlein;
    QString texte;
    if (erreur.numero() == Erreur::BaseEnLectureSeule) {
        // What it means and what to do; the driver's words are in the details, not here.
        texte = erreur.description() +
                QStringLiteral("\r\nPour réparer, demandez le droit d'écrire dans la base") +
                (base.isEmpty() ? QString() : u' ' + base) +
                QStringLiteral(" (ou retirez la lecture seule de son fichier) ; pour contrôler seulement, "
                               "relancez sans cocher les cases de réparation.\r\n\r\nLe traitement a été "
                               "interrompu.");
    } else {
        if (!base.isEmpty() && !erreurDuRapport)
            texte = QStringLiteral("La base de données %1 a refusé une opération du contrôle.\r\n").arg(base);
        texte += QStringLiteral("Erreur ") + QString::number(erreur.numero()) + QStringLiteral(" : ") +
                 erreur.description() + QStringLiteral("\r\n\r\nLe traitement a été interrompu.");
    }
    if (!fichierRapport.isEmpty() && QFileInfo::exists(fichierRapport))
        texte += QStringLiteral(" Le rapport garde les lignes écrites avant l'erreur :\r\n") + fichierRapport;
    return texte;
}

void EcrireDetails(const Erreur& erreur, QTextStream& flux) {
    if (!erreur.details().isEmpty())
        flux << QStringLiteral("Détails pour l'assistance : ") << erreur.details() << Qt::endl;
}

QString MessageArret(const ArretControle& arret, const QString& fichierRapport) {
    // An undo stopped while its file was being checked.
    if (arret.total == 0)
        return QStringLiteral(
            "Arrêt demandé pendant la lecture du fichier de constats : rien n'a été écrit.");
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

QString TexteCompteursAnnulation(const CompteursAnnulation& a) {
    const QLocale francais(QLocale::French, QLocale::France);
    return QStringLiteral("Écritures à annuler : %1 · annulées : %2 · déjà rétablies : %3 · laissées "
                          "(modifiées depuis) : %4")
        .arg(francais.toString(a.ecritures), francais.toString(a.annulees),
             francais.toString(a.dejaRetablies), francais.toString(a.laissees));
}

QString MessageEcritures(const Compteurs& c, const QString& fichierConstats) {
    const QLocale francais(QLocale::French, QLocale::France);
    QStringList faits;
    if (c.ajoutes > 0)
        faits.append(c.ajoutes == 1
                         ? QStringLiteral("1 ligne ajoutée à FACTCLI")
                         : QStringLiteral("%1 lignes ajoutées à FACTCLI").arg(francais.toString(c.ajoutes)));
    if (c.reecrits > 0)
        faits.append(c.reecrits == 1
                         ? QStringLiteral("1 montant réécrit")
                         : QStringLiteral("%1 montants réécrits").arg(francais.toString(c.reecrits)));
    QString texte = faits.join(QStringLiteral(" et "));
    texte[0] = texte[0].toUpper();
    return texte +
           QStringLiteral(". Le fichier de constats les garde et permet de les annuler («\u00A0Annuler les "
                          "écritures de ce contrôle\u00A0») :\r\n") +
           fichierConstats;
}

QString MessagePeriodeVide(const OptionsControle& options) {
    return (options.aPartirDesFactures
                ? QStringLiteral("Aucune facture du %1 au %2 : rien n'a été contrôlé.")
                : QStringLiteral("Aucune ligne de FACTCLI du %1 au %2 : rien n'a été contrôlé."))
        .arg(JourEnLettres(options.debut), JourEnLettres(options.fin));
}

QString QuestionAnnulation(const QString& fichierConstats) {
    return QStringLiteral(
               "Les lignes que ce contrôle a ajoutées à FACTCLI seront supprimées et les montants qu'il "
               "a réécrits remis comme avant, sauf là où ils ont changé depuis. Les écritures sont lues "
               "dans :\r\n%1\r\nContinuer ?")
        .arg(fichierConstats);
}

QString MessageOuvertureImpossible(const QString& chemin) {
    return QStringLiteral("Aucune application n'a pu ouvrir ce fichier. Il se trouve ici :\r\n") + chemin;
}

QString MessageFin(const QString& fichierRapport) {
    // Kept word for word as the host product's users know it ("à été", the blanks around the lines).
    return QStringLiteral(
               "Traitement terminé, le rapport à été généré.\r\n Désirez-vous ouvrir le fichier ? \r\n") +
           fichierRapport;
}

QString JourEnLettres(const QDate& jour, bool avecJourDeLaSemaine) {
    const QLocale francais(QLocale::French, QLocale::France);
    QString texte = jour.day() == 1 ? QStringLiteral("1er") : QString::number(jour.day());
    texte += u' ' + francais.monthName(jour.month()) + u' ' + QString::number(jour.year());
    if (avecJourDeLaSemaine)
        texte = francais.dayName(jour.dayOfWeek()) + u' ' + texte;
    return texte;
}

QString TextePeriode(const QDate& debut, const QDate& fin) {
    return QStringLiteral("Du %1 au %2").arg(JourEnLettres(debut, true), JourEnLettres(fin, true));
}

QString PeriodeInversee(const QString& debut, const QString& fin) {
    return QStringLiteral("période inversée : le premier jour %1 est après le dernier %2").arg(debut, fin);
}

QString MessagePeriodeInversee(const QDate& debut, const QDate& fin) {
    QString texte = PeriodeInversee(JourEnLettres(debut), JourEnLettres(fin));
    texte[0] = texte[0].toUpper();
    return texte + QStringLiteral(".\r\nChoisissez un premier jour avant le dernier ; rien n'a été lancé.");
}

QString QuestionReparation(const OptionsControle& options) {
    QString quoi;
    if (options.ajouter && options.mettreAJour)
        quoi = QStringLiteral(
            "Les lignes manquantes seront ajoutées à FACTCLI et les montants différents réécrits");
    else if (options.ajouter)
        quoi = QStringLiteral("Les lignes manquantes seront ajoutées à FACTCLI");
    else
        quoi = QStringLiteral("Les montants différents de FACTCLI seront réécrits");
    return quoi + QStringLiteral(", pour les factures du %1 au %2. Continuer ?")
                      .arg(JourEnLettres(options.debut), JourEnLettres(options.fin));
}

} // namespace cc
