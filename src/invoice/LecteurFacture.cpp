#include "invoice/LecteurFacture.h"

#include "data/TexteChamp.h"
#include "invoice/LignesCorps.h"

namespace cc {

namespace {

// The plain text of a FACTURES_LIGNE value: nothing for Null, numbers with "." as the decimal point;
// unlike the FACTURES fields, trailing blanks are kept.
QString texteBrut(const QVariant& valeur) {
    if (valeur.isNull())
        return {};
    if (valeur.metaType().id() == QMetaType::QString)
        return valeur.toString();
    if (valeur.metaType().id() == QMetaType::QByteArray)
        return QString::fromLatin1(valeur.toByteArray());
    return TexteChamp(valeur);
}

} // namespace

QString MessageFactureAncienne() {
    return QStringLiteral("Cette facture provient de votre ancienne version de Vendrax pour DOS.\n\n"
                          "Elle ne peut être relue dans Vendrax pour Windows.\n\n"
                          "Cependant, elle sera prise en compte dans les diverses éditions\n"
                          "et statistiques de chiffre d'affaires.");
}

LecteurFacture::LecteurFacture(Connexion& connexion, Interlocuteur& interlocuteur)
    : interlocuteur_(&interlocuteur),
      facture_(connexion, QStringLiteral("SELECT JOUR, NUMERO_DE_DOSSIER, type_piece, flag_divers, Corps "
                                         "FROM FACTURES WHERE NUMERO_DE_FACTURE = ?")),
      ligne_(connexion,
             QStringLiteral("SELECT TAUX_REMISE, MONTANT_REMISE, CODE_REMISE, DESIGNATION_COMPLEMENT, "
                            "REFERENCE_MATIERE_COMPLEMENT FROM FACTURES_LIGNE "
                            "WHERE NUMERO_DE_FACTURE = ? AND NUMERO_DE_LIGNE = ?")) {}

int LecteurFacture::LireFacture(const QString& numero, EnregistrementFacture& facture) {
    facture.viderLignes();
    const QString cle = SupprimerBlancs(numero);

    // The whole FACTURES row is read before any FACTURES_LIGNE statement runs: an ODBC connection
    // holds one result set at a time.
    facture_.executer({cle});
    if (!facture_.suivant()) {
        facture_.terminer();
        return FactureAbsente;
    }
    const QString jour = facture_.texte(QStringLiteral("JOUR"));
    const QString dossier = facture_.texte(QStringLiteral("NUMERO_DE_DOSSIER"));
    const QString type = facture_.texte(QStringLiteral("type_piece"));
    const QString flag = facture_.texte(QStringLiteral("flag_divers"));
    const QString corps = facture_.texte(QStringLiteral("Corps"));
    facture_.terminer();

    facture.JourFacture = jour;
    facture.DossierFacture = dossier;
    facture.TypePiece = type == u"A" ? QStringLiteral("A") : QStringLiteral("F");

    if (flag == u"7") {
        interlocuteur_->message(MessageFactureAncienne(), TitreLectureFacture(), Icone::Critique);
        return FactureAncienne;
    }

    const auto chercher = [&](int rangee) -> std::optional<DonneesRemise> {
        ligne_.executer({cle, rangee});
        if (!ligne_.suivant()) {
            ligne_.terminer();
            return std::nullopt;
        }
        // A Null discount value reads as empty (an amount of 0) rather than leave the line half read.
        DonneesRemise r{texteBrut(ligne_.valeur(QStringLiteral("TAUX_REMISE"))),
                        texteBrut(ligne_.valeur(QStringLiteral("MONTANT_REMISE"))),
                        texteBrut(ligne_.valeur(QStringLiteral("CODE_REMISE"))),
                        texteBrut(ligne_.valeur(QStringLiteral("DESIGNATION_COMPLEMENT"))),
                        texteBrut(ligne_.valeur(QStringLiteral("REFERENCE_MATIERE_COMPLEMENT")))};
        ligne_.terminer();
        return r;
    };
    try {
        RemplirLignes(corps, facture, chercher);
    } catch (const Erreur& e) {
        // Name the invoice, so that the user can find the one that stopped the run.
        throw Erreur(e.numero(), e.description() + QStringLiteral(" (facture ") + cle + QStringLiteral(")"),
                     e.source());
    }
    return FactureLue;
}

} // namespace cc
