#include "data/TablesFacturation.h"

#include "commun/TexteChamp.h"

#include <cmath>

namespace cc {

// How the rows of one table are named and ordered: an expression naming one physical row (selected
// beside it), the condition that finds that row again from the bound value, and the column that
// orders the rows as a plain selection returns them. Empty where the table has none.
struct Localisation {
    QString expression;
    QString condition;
    QString ordre;
    // The same where the table is joined with a list of values named v, the condition against its
    // column l; empty where rows are not written in groups.
    QString expressionJointe;
    QString conditionListe;
};

// On SQLite a column of the table may take the name of its rowid (rowid, _rowid_ or oid, any letter
// case) and hide it; the first of the three names that no column takes is used. A table without
// rowid, or a view, has none: its rows are then named by their keys.
Localisation localiser(Connexion& connexion, const QString& table) {
    const PiecesDialecte& pieces = connexion.pieces();
    if (!pieces.comparaisonSQLite)
        return {pieces.localisateur, pieces.conditionLocalisateur, pieces.ordrePhysique,
                pieces.localisateurJoint, pieces.conditionLocalisateurListe};
    Requete genre(connexion, QStringLiteral("SELECT type FROM sqlite_master WHERE name = ? COLLATE NOCASE"));
    genre.executer({table});
    const bool vue = genre.suivant() && genre.valeur(0).toString() == u"view";
    genre.terminer();
    if (vue)
        return {};
    QStringList colonnes;
    Requete info(connexion, QStringLiteral("SELECT name FROM pragma_table_info(?)"));
    info.executer({table});
    while (info.suivant())
        colonnes << info.valeur(0).toString();
    info.terminer();
    for (const QString& nom : {QStringLiteral("rowid"), QStringLiteral("_rowid_"), QStringLiteral("oid")}) {
        if (colonnes.contains(nom, Qt::CaseInsensitive))
            continue;
        try {
            // A table created WITHOUT ROWID refuses the name.
            Requete essai(connexion, QStringLiteral("SELECT ") + nom + QStringLiteral(" FROM ") + table +
                                         QStringLiteral(" LIMIT 0"));
        } catch (const Erreur&) {
            return {};
        }
        return {nom, nom + QStringLiteral(" = ?"), nom, table + u'.' + nom,
                table + u'.' + nom + QStringLiteral(" = v.l")};
    }
    return {};
}

namespace {

const QString ColonnesEntete = QStringLiteral("JOUR, NUMERO_DE_DOSSIER, type_piece, flag_divers, Corps");
const QString ColonnesRemise =
    QStringLiteral("TAUX_REMISE, MONTANT_REMISE, CODE_REMISE, DESIGNATION_COMPLEMENT, "
                   "REFERENCE_MATIERE_COMPLEMENT");

// A FROM item named v, with one column n holding the given number of bound values, so that one
// statement answers for a whole lot of numbers and tells which number each row answers. Empty where
// the database cannot take one: callers then keep one statement per number.
QString listeDeValeurs(const Connexion& connexion, int nombre) {
    const QString& modele = connexion.pieces().listeDeValeurs;
    if (modele.isEmpty())
        return {};
    QString valeurs;
    valeurs.reserve(nombre * 4);
    for (int i = 0; i < nombre; ++i)
        valeurs += i == 0 ? QStringLiteral("(?)") : QStringLiteral(",(?)");
    return modele.arg(valeurs);
}

// " ORDER BY" the rows of a table in the order a plain selection of one number returns them, so that
// the rows of a lot come per number as one statement per number would give them (the first row of a
// number is the one that counts). Empty where the table keeps no such order.
QString ordrePhysique(const Localisation& l, const QString& table) {
    const QString& colonne = l.ordre;
    return colonne.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + table + u'.' + colonne;
}

// The statement that reads the given columns of a table for a whole lot of numbers, each row
// beside the number it answers (column 0).
QString sqlLot(Connexion& connexion, const QString& colonnes, const QString& table,
               const QString& colonneNumero, const Localisation& l) {
    return QStringLiteral("SELECT v.n AS CC_NUMERO, ") + colonnes + QStringLiteral(" FROM ") +
           listeDeValeurs(connexion, TailleLot) + QStringLiteral(" JOIN ") + table + QStringLiteral(" ON ") +
           colonneNumero + QStringLiteral(" = v.n") + ordrePhysique(l, table);
}

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

// Which columns of FACTCLI a statement selects: the dossier and the amount (a lookup); with the row's
// locator and whether its dossier is stored as text (a lookup that decides repairs); or every column
// the program writes besides (a write's own selection).
enum class ColonnesFactCli { Montant, Reparation, Toutes };

ColonnesFactCli colonnes(bool reparation) {
    return reparation ? ColonnesFactCli::Reparation : ColonnesFactCli::Montant;
}

LigneTrouvee lireLigneTrouvee(const Requete& r, ColonnesFactCli colonnes) {
    LigneTrouvee l{.dossier = r.texte(QStringLiteral("NUM_DOSSIER")),
                   .montant = r.valeur(QStringLiteral("Montant"))};
    if (colonnes == ColonnesFactCli::Montant)
        return l;
    l.localisateur = r.valeur(QStringLiteral("CC_LIGNE"));
    if (r.valeur(QStringLiteral("CC_TEXTE")).toInt() == 1)
        l.dossierStocke = TexteValeur(r.valeur(QStringLiteral("NUM_DOSSIER")));
    if (colonnes == ColonnesFactCli::Reparation)
        return l;
    l.numero = r.texte(QStringLiteral("NUM_FACTURE"));
    l.jour = r.texte(QStringLiteral("JOUR"));
    l.devis = r.texte(QStringLiteral("NUM_DEVIS"));
    l.dateMaj = r.texte(QStringLiteral("DATE_MAJ"));
    l.age = r.valeur(QStringLiteral("CC_AGE"));
    return l;
}

const QString ColonnesEcrites =
    QStringLiteral("NUM_FACTURE, NUM_DOSSIER, JOUR, NUM_DEVIS, DATE_MAJ, Montant");

// The columns of FACTCLI selected, the locator Null where the table has none. jointure: FACTCLI is
// joined with a list of values, where the locator names its table (none where rows are not written in
// groups) and the age is of no use.
QString colonnesFactCli(const Connexion& connexion, const Localisation& l, ColonnesFactCli colonnes,
                        bool jointure) {
    if (colonnes == ColonnesFactCli::Montant)
        return QStringLiteral("NUM_DOSSIER, Montant");
    const QString& localisateur = jointure ? l.expressionJointe : l.expression;
    const QString& texte = connexion.pieces().valeurTexte;
    QString sql = (localisateur.isEmpty() ? QStringLiteral("NULL") : localisateur) +
                  QStringLiteral(" AS CC_LIGNE, ") +
                  (texte.isEmpty() ? QStringLiteral("0")
                                   : QStringLiteral("CASE WHEN %1 THEN 1 ELSE 0 END")
                                         .arg(texte.arg(QStringLiteral("NUM_DOSSIER")))) +
                  QStringLiteral(" AS CC_TEXTE, ");
    if (colonnes == ColonnesFactCli::Reparation)
        return sql + QStringLiteral("NUM_DOSSIER, Montant");
    const QString age = jointure ? QString() : connexion.pieces().ageLigne;
    return sql + ColonnesEcrites + QStringLiteral(", ") + (age.isEmpty() ? QStringLiteral("NULL") : age) +
           QStringLiteral(" AS CC_AGE");
}

} // namespace

QString FormeLarge(QStringView texte) {
    QString forme;
    forme.reserve(texte.size());
    bool ascii = true;
    for (const QChar c : texte)
        ascii = ascii && c.unicode() < 0x80;
    // Accents and compatibility forms come apart from their letters first, then only letters and
    // digits are kept.
    const QString decompose = ascii ? QString() : texte.toString().normalized(QString::NormalizationForm_KD);
    for (const QChar c : ascii ? texte : QStringView(decompose)) {
        if (c.isDigit() && c.digitValue() >= 0)
            forme += QChar(u'0' + c.digitValue());
        else if (c.isLetter())
            forme += c.toCaseFolded();
    }
    return forme;
}

QVariantList BornesPeriode(const Connexion& connexion, const QDate& debut, const QDate& fin) {
    if (connexion.pieces().joursEnTexte)
        return {debut.toString(QStringLiteral("yyyy-MM-dd")),
                fin.toString(QStringLiteral("yyyy-MM-dd 00:00:00"))};
    return {debut, fin};
}

QVariantList ValeursDuLot(const QStringList& cles) {
    QVariantList valeurs;
    valeurs.reserve(TailleLot);
    for (const QString& c : cles)
        valeurs.append(c);
    while (valeurs.size() < TailleLot)
        valeurs.append(QVariant(QMetaType::fromType<QString>()));
    return valeurs;
}

void ListerFacturesPeriode(Connexion& connexion, const QDate& debut, const QDate& fin,
                           const std::function<void(const QVariant& numero)>& recevoir) {
    Requete lister(connexion,
                   QStringLiteral("SELECT NUMERO_DE_FACTURE FROM FACTURES WHERE JOUR >= ? AND JOUR <= ?"));
    lister.executer(BornesPeriode(connexion, debut, fin));
    while (lister.suivant())
        recevoir(lister.valeur(0));
    lister.terminer();
}

void ListerFactCliPeriode(
    Connexion& connexion, const QDate& debut, const QDate& fin,
    const std::function<void(const QString& numero, const QString& dossier)>& recevoir) {
    Requete lister(
        connexion,
        QStringLiteral("SELECT NUM_FACTURE, NUM_DOSSIER FROM FACTCLI WHERE JOUR >= ? AND JOUR <= ?"));
    lister.executer(BornesPeriode(connexion, debut, fin));
    while (lister.suivant())
        recevoir(TexteValeur(lister.valeur(0)), TexteValeur(lister.valeur(1)));
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
    lotFactures_.emplace(connexion, sqlLot(connexion, ColonnesEntete, QStringLiteral("FACTURES"),
                                           QStringLiteral("NUMERO_DE_FACTURE"),
                                           localiser(connexion, QStringLiteral("FACTURES"))));
    if (avecRemises_)
        lotLignes_.emplace(connexion,
                           sqlLot(connexion, QStringLiteral("NUMERO_DE_LIGNE, ") + ColonnesRemise,
                                  QStringLiteral("FACTURES_LIGNE"), QStringLiteral("NUMERO_DE_FACTURE"),
                                  localiser(connexion, QStringLiteral("FACTURES_LIGNE"))));
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

LectureFactCli::LectureFactCli(Connexion& connexion, Parcours parcours, bool complete)
    : LectureFactCli(connexion, parcours, complete, localiser(connexion, QStringLiteral("FACTCLI"))) {}

LectureFactCli::LectureFactCli(Connexion& connexion, Parcours parcours, bool complete, const Localisation& l)
    : unique_(connexion, QStringLiteral("SELECT ") +
                             colonnesFactCli(connexion, l, colonnes(complete), false) +
                             QStringLiteral(" FROM FACTCLI WHERE NUM_FACTURE = ?")),
      complete_(complete) {
    parFacture_ = parcours != Parcours::Reference;
    if (parcours == Parcours::ParLots && !connexion.pieces().listeDeValeurs.isEmpty())
        lot_.emplace(connexion, sqlLot(connexion, colonnesFactCli(connexion, l, colonnes(complete), true),
                                       QStringLiteral("FACTCLI"), QStringLiteral("NUM_FACTURE"), l));
}

void LectureFactCli::ecriture(const QString& numero) {
    if (lot_)
        ecrits_.insert(FormeLarge(numero));
}

void LectureFactCli::nouvelleFacture() {
    lignesValides_ = false;
    if (ecrits_.isEmpty())
        return;
    // The numbers that a write may answer are dropped from the lot and asked again one by one.
    for (auto it = lignesLot_.begin(); it != lignesLot_.end();) {
        if (ecrits_.contains(FormeLarge(it.key())))
            it = lignesLot_.erase(it);
        else
            ++it;
    }
    ecrits_.clear();
}

void LectureFactCli::prevoir(const std::vector<QString>& numeros) {
    lignesLot_.clear();
    ecrits_.clear();
    if (!lot_)
        return;
    QStringList cles;
    for (const QString& n : numeros) {
        if (lignesLot_.contains(n))
            continue;
        lignesLot_.insert(n, {});
        cles.append(n);
    }
    if (cles.isEmpty())
        return;
    lot_->executer(ValeursDuLot(cles));
    while (lot_->suivant())
        lignesLot_[lot_->valeur(0).toString()].push_back(lireLigneTrouvee(*lot_, colonnes(complete_)));
    lot_->terminer();
}

const std::vector<LigneTrouvee>& LectureFactCli::lignes(const QString& numero) {
    if (const auto it = lignesLot_.constFind(numero); it != lignesLot_.cend())
        return *it;
    if (parFacture_ && lignesValides_ && numeroLignes_ == numero)
        return lignes_;
    lignes_.clear();
    unique_.executer({numero});
    while (unique_.suivant())
        lignes_.push_back(lireLigneTrouvee(unique_, colonnes(complete_)));
    unique_.terminer();
    lignesValides_ = true;
    numeroLignes_ = numero;
    return lignes_;
}

namespace {

// The condition that names the row: its locator and the pair it was selected with, or the pair alone.
QString conditionLigne(const Localisation& l) {
    const QString paire = QStringLiteral("NUM_FACTURE = ? AND NUM_DOSSIER = ?");
    return l.condition.isEmpty() ? paire : l.condition + QStringLiteral(" AND ") + paire;
}

// " RETURNING" the locator of the rows a write changed, where the database gives it back.
QString retour(const Localisation& l, bool possible) {
    return possible ? QStringLiteral(" RETURNING ") + l.expression : QString();
}

} // namespace

EcritureTableFactCli::EcritureTableFactCli(Connexion& connexion)
    : EcritureTableFactCli(connexion, localiser(connexion, QStringLiteral("FACTCLI"))) {}

EcritureTableFactCli::EcritureTableFactCli(Connexion& connexion, const Localisation& l)
    : connexion_(connexion), conditionListe_(l.conditionListe), parLocalisateur_(!l.expression.isEmpty()),
      retour_(parLocalisateur_ && connexion.pieces().retourLigne),
      selection_(connexion, QStringLiteral("SELECT ") +
                                colonnesFactCli(connexion, l, ColonnesFactCli::Toutes, false) +
                                QStringLiteral(" FROM FACTCLI WHERE NUM_FACTURE = ? AND NUM_DOSSIER = ?")),
      selectionLigne_(connexion, QStringLiteral("SELECT ") +
                                     (parLocalisateur_ ? l.expression : QStringLiteral("NULL")) +
                                     QStringLiteral(" AS CC_LIGNE, ") + ColonnesEcrites +
                                     QStringLiteral(", NULL AS CC_AGE, 0 AS CC_TEXTE FROM FACTCLI WHERE ") +
                                     conditionLigne(l)),
      ajout_(connexion,
             QStringLiteral("INSERT INTO FACTCLI (NUM_DOSSIER, NUM_FACTURE, JOUR, NUM_DEVIS, DATE_MAJ, "
                            "Montant) VALUES (?, ?, ?, ?, ?, ?)") +
                 retour(l, retour_)),
      reecriture_(connexion, QStringLiteral("UPDATE FACTCLI SET NUM_DOSSIER = ?, NUM_FACTURE = ?, JOUR = ?, "
                                            "NUM_DEVIS = ?, DATE_MAJ = ?, Montant = ? WHERE ") +
                                 conditionLigne(l) + retour(l, retour_)),
      reecritureMontant_(connexion, QStringLiteral("UPDATE FACTCLI SET Montant = ? WHERE ") +
                                        conditionLigne(l) + retour(l, retour_)),
      suppression_(connexion, QStringLiteral("DELETE FROM FACTCLI WHERE ") + conditionLigne(l)) {
    const PiecesDialecte& pieces = connexion.pieces();
    groupable_ = parLocalisateur_ && !l.conditionListe.isEmpty() && !pieces.tableDeValeurs.isEmpty();
    retourListe_ = retour(l, retour_);
    colonnesLecture_ = colonnesFactCli(connexion, l, ColonnesFactCli::Toutes, true);
}

EcritureTableFactCli::Changement EcritureTableFactCli::changement(Requete& ecriture) {
    if (!retour_)
        return {ecriture.lignesTouchees(), {}};
    // The rows given back are the rows written.
    Changement c;
    while (ecriture.suivant()) {
        if (c.lignes++ == 0)
            c.localisateur = ecriture.valeur(0);
    }
    ecriture.terminer();
    return c;
}

std::optional<LigneTrouvee> EcritureTableFactCli::ligneA(const QVariant& localisateur, const QString& numero,
                                                         const QString& dossier) {
    if (!parLocalisateur_)
        return std::nullopt;
    selectionLigne_.executer({localisateur, numero, dossier});
    std::optional<LigneTrouvee> ligne;
    if (selectionLigne_.suivant())
        ligne = lireLigneTrouvee(selectionLigne_, ColonnesFactCli::Toutes);
    selectionLigne_.terminer();
    return ligne;
}

std::vector<LigneTrouvee> EcritureTableFactCli::lignes(const QString& numero, const QString& dossier) {
    std::vector<LigneTrouvee> trouvees;
    selection_.executer({numero, dossier});
    while (selection_.suivant())
        trouvees.push_back(lireLigneTrouvee(selection_, ColonnesFactCli::Toutes));
    selection_.terminer();
    return trouvees;
}

std::optional<LigneTrouvee> EcritureTableFactCli::premiereLigne(const QString& numero,
                                                                const QString& dossier) {
    std::vector<LigneTrouvee> trouvees = lignes(numero, dossier);
    if (trouvees.empty())
        return std::nullopt;
    return std::move(trouvees.front());
}

EcritureTableFactCli::Changement EcritureTableFactCli::ajouter(const ValeursFactCli& v) {
    ajout_.executer({v.dossier, v.numero, v.jour, v.devis, v.dateMaj, v.montant});
    return changement(ajout_);
}

namespace {

QVariantList avecLigne(QVariantList valeurs, bool parLocalisateur, const LigneTrouvee& ligne,
                       const QString& numero, const QString& dossier) {
    if (parLocalisateur)
        valeurs.append(ligne.localisateur);
    valeurs << numero << dossier;
    return valeurs;
}

} // namespace

EcritureTableFactCli::Changement EcritureTableFactCli::reecrire(const LigneTrouvee& ligne,
                                                                const QString& numero, const QString& dossier,
                                                                const ValeursFactCli& v) {
    reecriture_.executer(avecLigne({v.dossier, v.numero, v.jour, v.devis, v.dateMaj, v.montant},
                                   parLocalisateur_, ligne, numero, dossier));
    return changement(reecriture_);
}

EcritureTableFactCli::Changement EcritureTableFactCli::reecrireMontant(const LigneTrouvee& ligne,
                                                                       const QString& numero,
                                                                       const QString& dossier,
                                                                       const QVariant& montant) {
    reecritureMontant_.executer(avecLigne({montant}, parLocalisateur_, ligne, numero, dossier));
    return changement(reecritureMontant_);
}

int EcritureTableFactCli::supprimer(const LigneTrouvee& ligne, const QString& numero,
                                    const QString& dossier) {
    suppression_.executer(avecLigne({}, parLocalisateur_, ligne, numero, dossier));
    return suppression_.lignesTouchees();
}

} // namespace cc

namespace cc {

namespace {

// Rows of a group written by one statement: few enough for any database's limit on bound values.
constexpr std::size_t LignesParInstruction = 100;

// "(?, ?),(?, ?)…": the rows of a list of values or of a multi-row insert.
QString lignesDeMarques(std::size_t lignes, int colonnes) {
    QString ligne = QStringLiteral("(?");
    for (int c = 1; c < colonnes; ++c)
        ligne += QStringLiteral(", ?");
    ligne += u')';
    QString texte;
    texte.reserve(qsizetype(lignes) * (ligne.size() + 1));
    for (std::size_t i = 0; i < lignes; ++i) {
        if (i > 0)
            texte += u',';
        texte += ligne;
    }
    return texte;
}

// A list of values named v whose columns bear the given names.
QString tableDeValeurs(const Connexion& connexion, std::size_t lignes, const QStringList& noms) {
    const PiecesDialecte& pieces = connexion.pieces();
    QStringList colonnes = noms;
    if (pieces.colonnesNumerotees)
        for (int i = 0; i < colonnes.size(); ++i)
            colonnes[i] = QStringLiteral("column%1 AS %2").arg(i + 1).arg(noms[i]);
    return pieces.tableDeValeurs.arg(lignesDeMarques(lignes, int(noms.size())),
                                     colonnes.join(QStringLiteral(", ")));
}

} // namespace

Requete& EcritureTableFactCli::instruction(Groupe genre, std::size_t nombre) {
    std::unique_ptr<Requete>& requete = groupes_[{genre, nombre}];
    if (requete)
        return *requete;
    QString sql;
    switch (genre) {
    case Groupe::Ajout:
        // The pair comes back beside each locator, so that each row given back names its write.
        sql = QStringLiteral(
                  "INSERT INTO FACTCLI (NUM_DOSSIER, NUM_FACTURE, JOUR, NUM_DEVIS, DATE_MAJ, Montant) "
                  "VALUES ") +
              lignesDeMarques(nombre, 6) +
              (retour_ ? retourListe_ + QStringLiteral(", NUM_FACTURE, NUM_DOSSIER") : QString());
        break;
    case Groupe::Lecture:
        sql = QStringLiteral("SELECT v.l AS CC_CLE, ") + colonnesLecture_ + QStringLiteral(" FROM ") +
              tableDeValeurs(connexion_, nombre, {QStringLiteral("l")}) +
              QStringLiteral(" JOIN FACTCLI ON ") + conditionListe_;
        break;
    case Groupe::Reecriture:
        sql = QStringLiteral("UPDATE FACTCLI SET Montant = CAST(v.m AS double precision) FROM ") +
              tableDeValeurs(
                  connexion_, nombre,
                  {QStringLiteral("l"), QStringLiteral("f"), QStringLiteral("d"), QStringLiteral("m")}) +
              QStringLiteral(" WHERE ") + conditionListe_ +
              QStringLiteral(" AND FACTCLI.NUM_FACTURE = v.f AND FACTCLI.NUM_DOSSIER = v.d");
        break;
    }
    requete = std::make_unique<Requete>(connexion_, sql);
    return *requete;
}

bool EcritureTableFactCli::ajouterGroupe(const Differee* debut, std::size_t nombre, Changement* changements) {
    Requete& requete = instruction(Groupe::Ajout, nombre);
    QVariantList valeurs;
    valeurs.reserve(qsizetype(nombre) * 6);
    for (std::size_t i = 0; i < nombre; ++i) {
        const ValeursFactCli& v = debut[i].valeurs;
        valeurs << v.dossier << v.numero << v.jour << v.devis << v.dateMaj << v.montant;
    }
    requete.executer(valeurs);
    if (!retour_) {
        for (std::size_t i = 0; i < nombre; ++i)
            changements[i] = {1, {}};
        return requete.lignesTouchees() == int(nombre);
    }
    // The rows given back may come in any order: each is matched with the write of its pair, the
    // pairs of a group being apart.
    std::vector<bool> rendues(nombre, false);
    std::size_t nombreRendues = 0;
    bool reconnues = true;
    while (requete.suivant()) {
        ++nombreRendues;
        const QString numero = TexteChamp(requete.valeur(1));
        const QString dossier = TexteChamp(requete.valeur(2));
        std::size_t i = 0;
        while (i < nombre &&
               (rendues[i] || debut[i].valeurs.numero != numero || debut[i].valeurs.dossier != dossier))
            ++i;
        if (i == nombre) {
            reconnues = false;
            continue;
        }
        rendues[i] = true;
        changements[i] = {1, requete.valeur(0)};
    }
    requete.terminer();
    return reconnues && nombreRendues == nombre;
}

bool EcritureTableFactCli::reecrireGroupe(const Differee* debut, std::size_t nombre,
                                          Changement* changements) {
    // The rows as they stand, read with the write lock held: what the findings keep of them for the undo.
    QVariantList localisateurs;
    localisateurs.reserve(qsizetype(nombre));
    for (std::size_t i = 0; i < nombre; ++i)
        localisateurs << debut[i].ligne.localisateur;
    Requete& lecture = instruction(Groupe::Lecture, nombre);
    lecture.executer(localisateurs);
    QHash<QString, LigneTrouvee> avant;
    while (lecture.suivant())
        avant.insert(TexteValeur(lecture.valeur(QStringLiteral("CC_CLE"))),
                     lireLigneTrouvee(lecture, ColonnesFactCli::Toutes));
    lecture.terminer();

    Requete& requete = instruction(Groupe::Reecriture, nombre);
    QVariantList valeurs;
    valeurs.reserve(qsizetype(nombre) * 4);
    for (std::size_t i = 0; i < nombre; ++i) {
        const Differee& d = debut[i];
        const auto trouvee = avant.constFind(TexteValeur(d.ligne.localisateur));
        if (trouvee == avant.cend())
            return false; // gone since the lot was read
        valeurs << d.ligne.localisateur << d.numero << d.dossier << d.valeurs.montant;
        // The locator of a row stays what it was where the database gives it back after a write.
        changements[i] = {1, retour_ ? d.ligne.localisateur : QVariant(), *trouvee};
    }
    requete.executer(valeurs);
    return requete.lignesTouchees() == int(nombre);
}

std::optional<std::vector<EcritureTableFactCli::Changement>>
EcritureTableFactCli::ecrireGroupe(const std::vector<Differee>& ecritures) {
    std::vector<Changement> changements(ecritures.size());
    if (ecritures.empty())
        return changements;
    // Each kind is written in order, in statements of a bounded number of rows.
    std::vector<Differee> genres[2];
    std::vector<std::size_t> places[2];
    for (std::size_t i = 0; i < ecritures.size(); ++i) {
        const int g = ecritures[i].ajout ? 0 : 1;
        genres[g].push_back(ecritures[i]);
        places[g].push_back(i);
    }
    bool exactes = true;
    std::vector<Changement> faits[2];
    try {
        for (int g = 0; g < 2 && exactes; ++g) {
            faits[g].resize(genres[g].size());
            for (std::size_t i = 0; i < genres[g].size() && exactes; i += LignesParInstruction) {
                const std::size_t n = std::min(LignesParInstruction, genres[g].size() - i);
                exactes = g == 0 ? ajouterGroupe(&genres[g][i], n, &faits[g][i])
                                 : reecrireGroupe(&genres[g][i], n, &faits[g][i]);
            }
        }
    } catch (const Erreur&) {
        // Refused as a group: the writes one by one will tell which one, and why.
        exactes = false;
    }
    if (!exactes) {
        // What the group did cannot be told apart from the rest: the whole transaction goes. (A point
        // to roll back to would not do: an ODBC driver may release it with its own.)
        connexion_.annulerTransaction();
        connexion_.commencerTransaction();
        return std::nullopt;
    }
    for (int g = 0; g < 2; ++g)
        for (std::size_t i = 0; i < faits[g].size(); ++i)
            changements[places[g][i]] = faits[g][i];
    return changements;
}

} // namespace cc
