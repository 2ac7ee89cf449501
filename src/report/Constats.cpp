#include "report/Constats.h"

#include "commun/Erreur.h"
#include "commun/TexteChamp.h"
#include "report/FichiersExecution.h"
#include "report/Rapport.h"

#include <QDir>
#include <QStringList>

#include <array>
#include <cerrno>

namespace cc {

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

FichierConstats::~FichierConstats() {
    if (flux_)
        flux_->close();
}

void FichierConstats::ouvrir(const QString& chemin, const QDateTime& execution, const QString& sens) {
    if (flux_)
        flux_->close();
    flux_.reset();
    chemin_ = chemin;
    execution_ = execution.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss"));
    sens_ = sens;
    lignes_ = 0;
    const QString action = QStringLiteral("Impossible de créer le fichier de constats");
    flux_ = CreerFichierNeuf(chemin, action);
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
    std::array<QString, NombreColonnesConstats> champs;
    const auto mettre = [&champs](ColonneConstat colonne, const QString& texte) {
        champs[std::size_t(colonne)] = ChampCsv(texte);
    };
    using enum ColonneConstat;
    mettre(Execution, execution_);
    mettre(Sens, sens_);
    mettre(Facture, l.facture);
    mettre(Dossier, l.dossier);
    mettre(Devis, l.devis);
    mettre(Constat, l.constat);
    mettre(MontantFactCli, montant(l.montantFactCli));
    mettre(MontantFacture, l.montantFacture ? MontantConstat(*l.montantFacture) : QString());
    mettre(Action, l.action);
    mettre(NumeroEcrit, l.numeroEcrit);
    mettre(JourEcrit, l.jourEcrit);
    mettre(DateMajEcrite,
           l.dateMajEcrite.isValid() ? l.dateMajEcrite.toString(FormatDateConstats) : QString());
    mettre(AncienNumero, l.ancienNumero);
    mettre(AncienDossier, l.ancienDossier);
    mettre(AncienJour, l.ancienJour);
    mettre(AncienDevis, l.ancienDevis);
    mettre(AncienneDateMaj, l.ancienneDateMaj);
    mettre(Ligne, l.ligne);
    QStringList cites(champs.begin(), champs.end());
    EcrireOctets(*flux_, cites.join(u';').toUtf8() + "\r\n",
                 QStringLiteral("Impossible d'écrire dans le fichier de constats"));
    ++lignes_;
}

void FichierConstats::fermer() {
    if (flux_)
        FermerFichier(std::move(flux_), QStringLiteral("Impossible de fermer le fichier de constats"));
}

} // namespace cc
