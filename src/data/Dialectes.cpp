#include "data/Dialectes.h"

#include "commun/Erreur.h"
#include "data/Connexion.h"

#include <QHash>
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
        // Text under the database's default collation compares byte for byte (char(n) ignoring trailing
        // blanks). A collation of the column's own may be nondeterministic (ICU: D05 = D5, ss = ß), and
        // would clash with the list's default one in a join.
        .comparaisonTexte = QStringLiteral(
            "SELECT CASE WHEN t.typname IN ('text', 'varchar', 'bpchar') AND c.collname = 'default' THEN 1 "
            "ELSE 0 END FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid LEFT JOIN pg_collation c "
            "ON c.oid = a.attcollation WHERE a.attrelid = to_regclass(?) AND a.attname IN (lower(?), "
            "lower(?))"),
        .ajoutSiAbsent = true,
    };
    static const PiecesDialecte sqlServer{
        .odbc = true,
        .localisateur = QStringLiteral("%%physloc%%"),
        .conditionLocalisateur = QStringLiteral("%%physloc%% = ?"),
        .listeDeValeurs = QStringLiteral("(VALUES %1) AS v(n)"),
        // A number stored as such compares as a number ('007' = '7'). The usual collations ignore
        // letter case, accents and trailing blanks, as FormeLarge does.
        .comparaisonTexte = QStringLiteral(
            "SELECT CASE WHEN DATA_TYPE IN ('char', 'varchar', 'nchar', 'nvarchar') THEN 1 ELSE 0 END FROM "
            "INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = ? AND COLUMN_NAME IN (?, ?)"),
        .ajoutSiAbsent = true,
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

// Whether every key column is text compared byte for byte, from the dialect's own statement.
bool comparaisonTexte(Connexion& connexion, const QString& table, const QStringList& cles) {
    const QString& sql = connexion.pieces().comparaisonTexte;
    if (sql.isEmpty() || cles.size() != 2)
        return false;
    try {
        Requete sonde(connexion, sql);
        sonde.executer({table, cles[0], cles[1]});
        int sures = 0;
        bool toutes = true;
        while (sonde.suivant()) {
            ++sures;
            toutes = toutes && sonde.valeur(0).toInt() == 1;
        }
        sonde.terminer();
        return toutes && sures == 2;
    } catch (const Erreur&) {
        return false; // a catalogue this database lacks: nothing is known
    }
}

// SQLite's affinity of a declared type: only a text or untyped column compares a bound text as a
// text; any other affinity turns '007' into 7 first.
bool affiniteTexteOuAucune(const QString& type) {
    const QString t = type.toUpper();
    if (t.contains(u"INT"))
        return false;
    if (t.contains(u"CHAR") || t.contains(u"CLOB") || t.contains(u"TEXT"))
        return true;
    return t.isEmpty() || t.contains(u"BLOB");
}

// Whether every index of the table that a selection of one number may go through keeps rows of equal
// keys in rowid order: an index on the number, or on the number and the dossier. An index on an
// expression, or naming the number with other columns, may order them otherwise.
bool egalesDansLOrdreSQLite(Connexion& connexion, const QString& table, const QStringList& cles) {
    if (cles.size() != 2)
        return false;
    Requete index(connexion, QStringLiteral("SELECT il.name, ii.name FROM pragma_index_list(?) AS il JOIN "
                                            "pragma_index_info(il.name) AS ii ORDER BY il.name, ii.seqno"));
    index.executer({table});
    QHash<QString, QStringList> colonnes;
    bool expression = false;
    while (index.suivant()) {
        expression = expression || index.valeur(1).isNull();
        colonnes[index.valeur(0).toString()] << index.valeur(1).toString().toUpper();
    }
    index.terminer();
    if (expression)
        return false;
    const QString numero = cles[0].toUpper();
    const QString dossier = cles[1].toUpper();
    for (const QStringList& c : std::as_const(colonnes)) {
        if (!c.contains(numero))
            continue;
        if (c.first() != numero || c.size() > 2 || (c.size() == 2 && c[1] != dossier))
            return false;
    }
    return true;
}

// On SQLite a column of the table may take the name of its rowid (rowid, _rowid_ or oid, any letter
// case) and hide it; the first of the three names that no column takes is used. A table without
// rowid, or a view, has none: its rows are then named by their keys.
Localisation localiserSQLite(Connexion& connexion, const QString& table, const QStringList& cles) {
    Requete genre(connexion,
                  QStringLiteral("SELECT type, sql FROM sqlite_master WHERE name = ? COLLATE NOCASE"));
    genre.executer({table});
    const bool trouve = genre.suivant();
    const bool vue = trouve && genre.valeur(0).toString() == u"view";
    // Any collation declared in the table (NOCASE, RTRIM, one the program does not know) leaves the
    // comparison unknown: under RTRIM, an automatic index built for a join with a list of values
    // misses 'F01 ' for 'F01', where the selection of one number finds it.
    const bool collation = !trouve || genre.valeur(1).toString().contains(u"COLLATE", Qt::CaseInsensitive);
    genre.terminer();
    if (vue)
        return {};
    QStringList colonnes;
    bool clesEnTexte = true;
    qsizetype clesVues = 0;
    Requete info(connexion, QStringLiteral("SELECT name, type FROM pragma_table_info(?)"));
    info.executer({table});
    while (info.suivant()) {
        colonnes << info.valeur(0).toString();
        if (cles.contains(colonnes.last(), Qt::CaseInsensitive)) {
            ++clesVues;
            clesEnTexte = clesEnTexte && affiniteTexteOuAucune(info.valeur(1).toString());
        }
    }
    info.terminer();
    // A listing of statements takes the provable case, which sends the most.
    const bool sure =
        !connexion.envoie() || (clesEnTexte && clesVues == cles.size() && !cles.isEmpty() && !collation);
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
        return {nom,
                nom + QStringLiteral(" = ?"),
                nom,
                table + u'.' + nom,
                table + u'.' + nom + QStringLiteral(" = v.l"),
                sure,
                sure && egalesDansLOrdreSQLite(connexion, table, cles)};
    }
    return {.comparaisonSure = sure};
}

} // namespace

Localisation LocaliserLignes(Connexion& connexion, const QString& table, const QStringList& cles) {
    if (connexion.dialecte() == Dialecte::SQLite)
        return localiserSQLite(connexion, table, cles);
    const PiecesDialecte& pieces = connexion.pieces();
    return {pieces.localisateur,
            pieces.conditionLocalisateur,
            pieces.ordrePhysique,
            avecTable(pieces.localisateurJoint, table),
            avecTable(pieces.conditionLocalisateurListe, table),
            comparaisonTexte(connexion, table, cles) || !connexion.envoie()};
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
