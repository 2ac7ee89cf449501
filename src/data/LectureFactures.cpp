#include "data/LectureFactures.h"

#include "commun/TexteChamp.h"

#include <cmath>

namespace cc {

namespace {

const QString ColonnesEntete = QStringLiteral("JOUR, NUMERO_DE_DOSSIER, type_piece, flag_divers, Corps");
const QString ColonnesRemise =
    QStringLiteral("TAUX_REMISE, MONTANT_REMISE, CODE_REMISE, DESIGNATION_COMPLEMENT, "
                   "REFERENCE_MATIERE_COMPLEMENT");

// A Null discount value reads as empty (an amount of 0) rather than leave the line half read. The
// values keep their trailing blanks, unlike the FACTURES fields.
DonneesRemise lireRemise(const Requete& r) {
    return {TexteValeur(r.valeur(QStringLiteral("TAUX_REMISE"))),
            TexteValeur(r.valeur(QStringLiteral("MONTANT_REMISE"))),
            TexteValeur(r.valeur(QStringLiteral("CODE_REMISE"))),
            TexteValeur(r.valeur(QStringLiteral("DESIGNATION_COMPLEMENT"))),
            TexteValeur(r.valeur(QStringLiteral("REFERENCE_MATIERE_COMPLEMENT")))};
}

// The row of the record a FACTURES_LIGNE row belongs to: its NUMERO_DE_LIGNE when that is exactly a
// whole number a row can have, as the database compares it with a row number in a statement; -1
// otherwise (Null, a fraction, a number out of range, text that is not a plain whole number), which
// matches no row.
int rangeeDeLigne(const QVariant& numero) {
    constexpr qint64 RangeeMax = 1'000'000;
    qint64 rangee = -1;
    switch (numero.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
        rangee = numero.toLongLong();
        break;
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
        rangee = numero.toULongLong() <= quint64(RangeeMax) ? qint64(numero.toULongLong()) : -1;
        break;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = numero.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) <= double(RangeeMax))
            rangee = qint64(d);
        break;
    }
    case QMetaType::QString: {
        // Text compares as text: only the plain decimal writing of a number is that number.
        const QString t = numero.toString();
        bool ok = false;
        const qint64 n = t.toLongLong(&ok);
        if (ok && t == QString::number(n))
            rangee = n;
        break;
    }
    default:
        break;
    }
    return rangee >= 0 && rangee <= RangeeMax ? int(rangee) : -1;
}

RemiseLigne lireRemiseLigne(const Requete& r) {
    return {rangeeDeLigne(r.valeur(QStringLiteral("NUMERO_DE_LIGNE"))), lireRemise(r)};
}

EnteteFacture lireEntete(const Requete& r) {
    return {r.texte(QStringLiteral("JOUR")), r.texte(QStringLiteral("NUMERO_DE_DOSSIER")),
            r.texte(QStringLiteral("type_piece")), r.texte(QStringLiteral("flag_divers")),
            r.texte(QStringLiteral("Corps"))};
}

} // namespace

void ListerFacturesPeriode(Connexion& connexion, const QDate& debut, const QDate& fin,
                           const std::function<void(const QVariant& numero)>& recevoir) {
    Requete lister(connexion,
                   QStringLiteral("SELECT NUMERO_DE_FACTURE FROM FACTURES WHERE JOUR >= ? AND JOUR <= ?"));
    lister.executer(BornesPeriode(connexion, debut, fin));
    while (lister.suivant())
        recevoir(lister.valeur(0));
    lister.terminer();
}

LectureFactures::LectureFactures(Connexion& connexion, Parcours parcours, bool avecRemises)
    : parcours_(parcours), avecRemises_(avecRemises),
      facture_(connexion, QStringLiteral("SELECT ") + ColonnesEntete +
                              QStringLiteral(" FROM FACTURES WHERE NUMERO_DE_FACTURE = ?")) {
    if (parcours_ == Parcours::ParLots && connexion.pieces().listeDeValeurs.isEmpty())
        parcours_ = Parcours::ParFacture;
    if (parcours_ == Parcours::Reference) {
        if (avecRemises_)
            ligne_.emplace(connexion, QStringLiteral("SELECT ") + ColonnesRemise +
                                          QStringLiteral(" FROM FACTURES_LIGNE WHERE NUMERO_DE_FACTURE = ? "
                                                         "AND NUMERO_DE_LIGNE = ?"));
        return;
    }
    if (avecRemises_)
        lignes_.emplace(connexion, QStringLiteral("SELECT NUMERO_DE_LIGNE, ") + ColonnesRemise +
                                       QStringLiteral(" FROM FACTURES_LIGNE WHERE NUMERO_DE_FACTURE = ?"));
    if (parcours_ == Parcours::ParFacture)
        return;
    lotFactures_.emplace(connexion,
                         SqlLot(connexion, ColonnesEntete, TableFactures, QStringLiteral("NUMERO_DE_FACTURE"),
                                LocaliserLignes(connexion, TableFactures)));
    if (avecRemises_)
        lotLignes_.emplace(connexion, SqlLot(connexion, QStringLiteral("NUMERO_DE_LIGNE, ") + ColonnesRemise,
                                             TableLignesFactures, QStringLiteral("NUMERO_DE_FACTURE"),
                                             LocaliserLignes(connexion, TableLignesFactures)));
}

void LectureFactures::prevoir(const QStringList& cles) {
    entetesLot_.clear();
    remisesLot_.clear();
    if (parcours_ != Parcours::ParLots || cles.isEmpty())
        return;
    const QVariantList valeurs = ValeursDuLot(cles);

    for (const QString& c : cles)
        entetesLot_.insert(c, std::nullopt);
    lotFactures_->executer(valeurs);
    while (lotFactures_->suivant()) {
        auto& entete = entetesLot_[lotFactures_->valeur(0).toString()];
        if (!entete) // only the first row of a number counts
            entete = lireEntete(*lotFactures_);
    }
    lotFactures_->terminer();

    if (!avecRemises_)
        return;
    for (const QString& c : cles)
        remisesLot_.insert(c, {});
    lotLignes_->executer(valeurs);
    while (lotLignes_->suivant())
        remisesLot_[lotLignes_->valeur(0).toString()].push_back(lireRemiseLigne(*lotLignes_));
    lotLignes_->terminer();
}

std::optional<EnteteFacture> LectureFactures::entete(const QString& cle) {
    if (const auto it = entetesLot_.constFind(cle); it != entetesLot_.cend())
        return *it;
    // The whole row is read before any other statement runs: an ODBC connection holds one result
    // set at a time.
    facture_.executer({cle});
    std::optional<EnteteFacture> e;
    if (facture_.suivant())
        e = lireEntete(facture_);
    facture_.terminer();
    return e;
}

const std::vector<RemiseLigne>& LectureFactures::remises(const QString& cle) {
    if (const auto it = remisesLot_.constFind(cle); it != remisesLot_.cend())
        return *it;
    remises_.clear();
    lignes_->executer({cle});
    while (lignes_->suivant())
        remises_.push_back(lireRemiseLigne(*lignes_));
    lignes_->terminer();
    return remises_;
}

std::optional<DonneesRemise> LectureFactures::remiseDeLaRangee(const QString& cle, int rangee) {
    ligne_->executer({cle, rangee});
    std::optional<DonneesRemise> r;
    if (ligne_->suivant())
        r = lireRemise(*ligne_);
    ligne_->terminer();
    return r;
}

} // namespace cc
