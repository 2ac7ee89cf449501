#include "data/Dialectes.h"

#include "commun/Erreur.h"
#include "data/Connexion.h"

#include <QSqlDriver>
#include <QVariant>
#include <algorithm>
#include <optional>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace cc {

const PiecesDialecte& PiecesDe(Dialecte dialecte) {
    static const PiecesDialecte sqlite{
        .verrouAuDebut = true,
        .joursEnTexte = true,
        .retourLigne = true,
        .localisateur = QStringLiteral("rowid"),
        .conditionLocalisateur = QStringLiteral("rowid = ?"),
        .ordrePhysique = QStringLiteral("rowid"),
        // SQLite names the columns of a VALUES list itself (column1).
        .listeDeValeurs = QStringLiteral("(SELECT column1 AS n FROM (VALUES %1)) AS v"),
        .tableDeValeurs = QStringLiteral("(SELECT %2 FROM (VALUES %1)) AS v"),
        .colonnesNumerotees = true,
        .valeurReelle = QStringLiteral("CAST(%1 AS double precision)"),
        .valeurTexte = QStringLiteral("typeof(%1) IN ('text', 'null')"),
    };
    static const PiecesDialecte postgres{
        .odbc = true,
        .localisateur = QStringLiteral("CAST(ctid AS varchar(40))"),
        .conditionLocalisateur = QStringLiteral("ctid = CAST(? AS tid)"),
        .localisateurJoint = QStringLiteral("CAST(%1.ctid AS varchar(40))"),
        .conditionLocalisateurListe = QStringLiteral("%1.ctid = CAST(v.l AS tid)"),
        .ordrePhysique = QStringLiteral("ctid"),
        .listeDeValeurs = QStringLiteral("(VALUES %1) AS v(n)"),
        .tableDeValeurs = QStringLiteral("(VALUES %1) AS v(%2)"),
        .valeurReelle = QStringLiteral("CAST(%1 AS double precision)"),
        .valeurTexte = QStringLiteral("pg_typeof(%1) IN ('character varying'::regtype, 'character'::regtype, "
                                      "'text'::regtype)"),
        .ageLigne = QStringLiteral("CAST(age(xmin) AS integer)"),
    };
    static const PiecesDialecte sqlServer{
        .odbc = true,
        .localisateur = QStringLiteral("%%physloc%%"),
        .conditionLocalisateur = QStringLiteral("%%physloc%% = ?"),
        .listeDeValeurs = QStringLiteral("(VALUES %1) AS v(n)"),
    };
    // Jet, SQL Server before 2008 and any other database reached through ODBC: no locator, no list,
    // no known order. Invoices are then read one by one and rows written by their keys.
    static const PiecesDialecte odbc{.odbc = true};
    switch (dialecte) {
    case Dialecte::SQLite:
        return sqlite;
    case Dialecte::Postgres:
        return postgres;
    case Dialecte::SqlServer:
        return sqlServer;
    case Dialecte::SqlServer2005:
    case Dialecte::Jet:
    case Dialecte::Autre:
        break;
    }
    return odbc;
}

namespace {

// A text the DBMS gives about itself; none when the driver does not answer.
std::optional<QString> infoSgbd(SQLHANDLE connexion, SQLUSMALLINT information) {
    // The wide-character entry point: Wine's ODBC lacks some of the 8-bit ones. The length is in bytes.
    SQLWCHAR texte[256] = {};
    SQLSMALLINT longueur = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(connexion, information, texte, sizeof texte - sizeof texte[0], &longueur)))
        return std::nullopt;
    static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(texte));
}

// The first of the drivers possible, best first, that is registered.
QString premierInscrit(const QStringList& possibles, const QStringList& pilotes) {
    for (const QString& p : possibles)
        if (pilotes.contains(p, Qt::CaseInsensitive))
            return p;
    return {};
}

} // namespace

Dialecte DialecteServeur(const QSqlDatabase& db, Dialecte parDefaut) {
    // The driver's name says little (a SQL Server kind may be served by another product): the DBMS
    // names itself.
    const QVariant h = db.driver() ? db.driver()->handle() : QVariant();
    if (!h.isValid() || h.metaType().sizeOf() != int(sizeof(SQLHANDLE)))
        return parDefaut;
    SQLHANDLE connexion = *static_cast<SQLHANDLE const*>(h.data());
    if (!connexion)
        return parDefaut;
    const std::optional<QString> nom = infoSgbd(connexion, SQL_DBMS_NAME);
    if (!nom)
        return parDefaut;
    return DialecteDuSgbd(*nom, infoSgbd(connexion, SQL_DBMS_VER).value_or(QString()), parDefaut);
}

Dialecte DialecteDuSgbd(const QString& nomSgbd, const QString& versionSgbd, Dialecte parDefaut) {
    if (nomSgbd.contains(QStringLiteral("PostgreSQL"), Qt::CaseInsensitive))
        return Dialecte::Postgres;
    if (nomSgbd.contains(QStringLiteral("SQL Server"), Qt::CaseInsensitive))
        return DialecteVersionSqlServer(versionSgbd);
    return parDefaut;
}

Dialecte DialecteVersionSqlServer(const QString& version) {
    // "##.##.####" as ODBC gives it; the major version alone decides.
    const QString texte = version.trimmed();
    const qsizetype point = texte.indexOf(u'.');
    const QStringView majeure = QStringView(texte).first(point < 0 ? texte.size() : point);
    const bool chiffres =
        !majeure.isEmpty() && majeure.size() <= 4 &&
        std::all_of(majeure.begin(), majeure.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    return chiffres && majeure.toInt() >= 10 ? Dialecte::SqlServer : Dialecte::SqlServer2005;
}

namespace {

// A piece that names the table, filled in; empty stays empty.
QString avecTable(const QString& piece, const QString& table) {
    return piece.isEmpty() ? QString() : piece.arg(table);
}

// On SQLite a column of the table may take the name of its rowid (rowid, _rowid_ or oid, any letter
// case) and hide it; the first of the three names that no column takes is used. A table without
// rowid, or a view, has none: its rows are then named by their keys.
Localisation localiserSQLite(Connexion& connexion, const QString& table) {
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

} // namespace

Localisation LocaliserLignes(Connexion& connexion, const QString& table) {
    if (connexion.dialecte() == Dialecte::SQLite)
        return localiserSQLite(connexion, table);
    const PiecesDialecte& pieces = connexion.pieces();
    return {pieces.localisateur, pieces.conditionLocalisateur, pieces.ordrePhysique,
            avecTable(pieces.localisateurJoint, table), avecTable(pieces.conditionLocalisateurListe, table)};
}

QString LignesDeMarques(std::size_t lignes, int colonnes) {
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

QString ListeDeValeurs(const PiecesDialecte& pieces, int nombre) {
    if (pieces.listeDeValeurs.isEmpty())
        return {};
    return pieces.listeDeValeurs.arg(LignesDeMarques(std::size_t(nombre), 1));
}

QString TableDeValeurs(const PiecesDialecte& pieces, std::size_t lignes, const QStringList& noms) {
    QStringList colonnes = noms;
    if (pieces.colonnesNumerotees)
        for (int i = 0; i < colonnes.size(); ++i)
            colonnes[i] = QStringLiteral("column%1 AS %2").arg(i + 1).arg(noms[i]);
    return pieces.tableDeValeurs.arg(LignesDeMarques(lignes, int(noms.size())),
                                     colonnes.join(QStringLiteral(", ")));
}

QStringList PilotesSqlServerPossibles(bool recent, Systeme systeme) {
    if (systeme != Systeme::Windows)
        return {Pilote18, Pilote17, PiloteFreeTds, PilotePostgres};
    if (recent)
        return {PiloteNatif10, PiloteNatif11, Pilote17, Pilote18, PiloteWindowsSqlServer};
    return {PiloteWindowsSqlServer, Pilote18, Pilote17, PiloteNatif11, PiloteNatif10};
}

QString PiloteSqlServer(const QStringList& pilotes, bool recent, Systeme systeme) {
    return premierInscrit(PilotesSqlServerPossibles(recent, systeme), pilotes);
}

Dialecte DialecteDuPilote(const QString& pilote) {
    return pilote == PilotePostgres ? Dialecte::Postgres : Dialecte::SqlServer;
}

bool PiloteAvecMars(const QString& pilote) {
    return pilote == PiloteNatif10 || pilote == PiloteNatif11 || pilote == Pilote17 || pilote == Pilote18;
}

QStringList PilotesJetPossibles(Systeme systeme) {
    if (systeme != Systeme::Windows)
        return {PiloteMdbTools};
    return {PiloteAccessAce, PiloteAccess};
}

QString PiloteJet(const QStringList& pilotes, Systeme systeme) {
    return premierInscrit(PilotesJetPossibles(systeme), pilotes);
}

} // namespace cc
