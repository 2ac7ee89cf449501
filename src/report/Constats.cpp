#include "report/Constats.h"

#include "commun/Erreur.h"
#include "commun/TexteChamp.h"
#include "report/Rapport.h"

#include <QDir>

#include <cerrno>

namespace cc {

const std::vector<QString>& ColonnesConstats() {
    static const std::vector<QString> colonnes{
        QStringLiteral("Exécution"),
        QStringLiteral("Sens"),
        QStringLiteral("Facture"),
        QStringLiteral("Dossier"),
        QStringLiteral("Devis"),
        QStringLiteral("Constat"),
        QStringLiteral("Montant FACTCLI"),
        QStringLiteral("Montant facturé"),
        QStringLiteral("Action"),
        QStringLiteral("Numéro écrit"),
        QStringLiteral("Jour écrit"),
        QStringLiteral("Date de mise à jour écrite"),
        QStringLiteral("Ancien numéro"),
        QStringLiteral("Ancien dossier"),
        QStringLiteral("Ancien jour"),
        QStringLiteral("Ancien devis"),
        QStringLiteral("Ancienne date de mise à jour"),
        QStringLiteral("Ligne"),
    };
    return colonnes;
}

QString MontantConstat(double montant) {
    return TexteNombre(montant).replace(u'.', u',');
}

QString ChampCsv(const QString& champ) {
    if (!champ.contains(u';') && !champ.contains(u'"') && !champ.contains(u'\r') && !champ.contains(u'\n'))
        return champ;
    QString cite = champ;
    cite.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + cite + u'"';
}

std::vector<std::vector<QString>> LireCsv(QStringView texte) {
    std::vector<std::vector<QString>> lignes;
    std::vector<QString> champs;
    QString champ;
    bool cite = false;
    bool ligneCommencee = false;
    for (qsizetype i = 0; i < texte.size(); ++i) {
        const QChar c = texte[i];
        if (cite) {
            if (c != u'"')
                champ += c;
            else if (i + 1 < texte.size() && texte[i + 1] == u'"')
                champ += texte[++i];
            else
                cite = false;
            continue;
        }
        if (c == u'"') {
            cite = true;
            ligneCommencee = true;
        } else if (c == u';') {
            champs.push_back(std::exchange(champ, QString()));
            ligneCommencee = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < texte.size() && texte[i + 1] == u'\n')
                ++i;
            if (ligneCommencee || !champ.isEmpty()) {
                champs.push_back(std::exchange(champ, QString()));
                lignes.push_back(std::exchange(champs, {}));
            }
            ligneCommencee = false;
        } else {
            champ += c;
            ligneCommencee = true;
        }
    }
    if (ligneCommencee || !champ.isEmpty()) {
        champs.push_back(champ);
        lignes.push_back(std::move(champs));
    }
    return lignes;
}

FichierConstats::~FichierConstats() {
    if (flux_)
        flux_->close();
}

void FichierConstats::ouvrir(const QString& chemin, const QString& sauvegarde, const QDateTime& execution,
                             const QString& sens) {
    if (flux_)
        flux_->close();
    flux_.reset();
    chemin_ = chemin;
    execution_ = execution.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss"));
    sens_ = sens;
    lignes_ = 0;
    const QString action = QStringLiteral("Impossible de créer le fichier de constats");
    bool refuse = false;
    flux_ = CreerFichierNeuf(chemin, sauvegarde, action, refuse);
    if (!flux_)
        throw Erreur(Erreur::AccesFichier, action + u' ' + QDir::toNativeSeparators(chemin));
    QStringList entete;
    for (const QString& c : ColonnesConstats())
        entete << ChampCsv(c);
    EcrireOctets(*flux_, QByteArrayLiteral("\xEF\xBB\xBF") + entete.join(u';').toUtf8() + "\r\n",
                 QStringLiteral("Impossible d'écrire dans le fichier de constats"));
}

void FichierConstats::ecrire(const LigneConstat& l) {
    if (!flux_)
        return;
    const auto montant = [](const QVariant& v) {
        return v.isNull() ? QString() : MontantConstat(v.toDouble());
    };
    const QStringList champs{
        execution_,
        sens_,
        l.facture,
        l.dossier,
        l.devis,
        l.constat,
        montant(l.montantFactCli),
        l.montantFacture ? MontantConstat(*l.montantFacture) : QString(),
        l.action,
        l.numeroEcrit,
        l.jourEcrit,
        l.dateMajEcrite.isValid() ? l.dateMajEcrite.toString(QStringLiteral("yyyy-MM-ddThh:mm")) : QString(),
        l.ancienNumero,
        l.ancienDossier,
        l.ancienJour,
        l.ancienDevis,
        l.ancienneDateMaj,
        l.ligne,
    };
    QStringList cites;
    for (const QString& c : champs)
        cites << ChampCsv(c);
    EcrireOctets(*flux_, cites.join(u';').toUtf8() + "\r\n",
                 QStringLiteral("Impossible d'écrire dans le fichier de constats"));
    ++lignes_;
}

void FichierConstats::fermer() {
    if (flux_)
        FermerFichier(std::move(flux_), QStringLiteral("Impossible de fermer le fichier de constats"));
}

} // namespace cc
