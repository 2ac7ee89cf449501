#include "report/LectureConstats.h"

#include "commun/Erreur.h"
#include "commun/TexteErreurSysteme.h"

#include <QFile>
#include <cerrno>

namespace cc {

QString RangeeConstats::texte(ColonneConstat colonne) const {
    const auto i = std::size_t(colonne);
    return i < champs_.size() ? champs_[i] : QString();
}

QVariant RangeeConstats::montant(ColonneConstat colonne) const {
    const QString t = texte(colonne);
    if (t.isEmpty())
        return {};
    bool ok = false;
    const double v = QString(t).replace(u',', u'.').toDouble(&ok);
    if (!ok)
        throw Erreur(Erreur::AccesFichier,
                     QStringLiteral("Montant illisible dans le fichier de constats : %1").arg(t));
    return v;
}

LigneConstat RangeeConstats::ligne() const {
    using enum ColonneConstat;
    LigneConstat l{.facture = texte(Facture),
                   .dossier = texte(Dossier),
                   .devis = texte(Devis),
                   .constat = texte(Constat),
                   .montantFactCli = montant(MontantFactCli),
                   .action = texte(Action)};
    if (const QVariant m = montant(MontantFacture); !m.isNull())
        l.montantFacture = m.toDouble();
    l.numeroEcrit = texte(NumeroEcrit);
    l.jourEcrit = texte(JourEcrit);
    l.dateMajEcrite = QDateTime::fromString(texte(DateMajEcrite), Qt::ISODate);
    l.ancienNumero = texte(AncienNumero);
    l.ancienDossier = texte(AncienDossier);
    l.ancienJour = texte(AncienJour);
    l.ancienDevis = texte(AncienDevis);
    l.ancienneDateMaj = texte(AncienneDateMaj);
    l.ligne = texte(Ligne);
    return l;
}

std::vector<RangeeConstats> LireConstats(const QString& chemin) {
    QFile fichier(chemin);
    errno = 0;
    if (!fichier.open(QIODevice::ReadOnly))
        throw Erreur(Erreur::FichierIntrouvable,
                     QStringLiteral("Impossible de lire le fichier de constats %1 : %2")
                         .arg(chemin, TexteErreurFichier(fichier, errno)));
    QString texte = QString::fromUtf8(fichier.readAll());
    if (texte.startsWith(QChar(0xFEFF)))
        texte.remove(0, 1);
    std::vector<std::vector<QString>> lignes = LireCsv(texte);
    if (lignes.empty() || lignes.front() != ColonnesConstats())
        throw Erreur(
            Erreur::AccesFichier,
            QStringLiteral("%1 n'est pas un fichier de constats de controle-coherence.").arg(chemin));
    std::vector<RangeeConstats> rangees;
    rangees.reserve(lignes.size() - 1);
    for (std::size_t i = 1; i < lignes.size(); ++i)
        rangees.emplace_back(std::move(lignes[i]));
    return rangees;
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

} // namespace cc
