#include "BaseTest.h"

#include "Lot.h"
#include "data/Catalogue.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace Qt::StringLiterals;

namespace cc::test {

namespace {
int compteur = 0;

void echec(const QSqlError& e, const QString& sql) {
    qFatal("BaseTest: %s\n%s", qPrintable(e.text()), qPrintable(sql));
}
} // namespace

BaseTest::BaseTest(const QString& chemin) : chemin_(chemin), nom_(u"base-test-%1"_s.arg(++compteur)) {
    QFile::remove(chemin_);
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, nom_);
    db.setDatabaseName(chemin_);
    if (!db.open())
        echec(db.lastError(), chemin_);
    executer(u"CREATE TABLE FACTURES (NUMERO_DE_FACTURE TEXT, JOUR TEXT, NUMERO_DE_DOSSIER TEXT, "
             "type_piece TEXT, flag_divers TEXT, Corps TEXT)"_s);
    executer(u"CREATE TABLE FACTURES_LIGNE (NUMERO_DE_FACTURE TEXT, NUMERO_DE_LIGNE INTEGER, "
             "TAUX_REMISE REAL, MONTANT_REMISE REAL, CODE_REMISE TEXT, "
             "DESIGNATION_COMPLEMENT TEXT, REFERENCE_MATIERE_COMPLEMENT TEXT)"_s);
    executer(u"CREATE TABLE FACTCLI (NUM_FACTURE TEXT, NUM_DOSSIER TEXT, JOUR TEXT, NUM_DEVIS TEXT, "
             "DATE_MAJ TEXT, Montant REAL)"_s);
}

BaseTest::~BaseTest() {
    {
        QSqlDatabase db = QSqlDatabase::database(nom_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(nom_);
}

QSqlDatabase BaseTest::base() const {
    return QSqlDatabase::database(nom_, false);
}

void BaseTest::executer(const QString& sql, const QVariantList& valeurs) {
    QSqlQuery q(base());
    if (!q.prepare(sql))
        echec(q.lastError(), sql);
    for (int i = 0; i < valeurs.size(); ++i)
        q.bindValue(i, valeurs.at(i));
    if (!q.exec())
        echec(q.lastError(), sql);
}

void BaseTest::facture(const QVariant& numero, const QVariant& jour, const QVariant& dossier,
                       const QVariant& corps, const QVariant& typePiece, const QVariant& flagDivers) {
    executer(u"INSERT INTO FACTURES VALUES (?, ?, ?, ?, ?, ?)"_s,
             {numero, jour, dossier, typePiece, flagDivers, corps});
}

void BaseTest::ligne(const QVariant& numero, int numeroDeLigne, const QVariant& taux, const QVariant& montant,
                     const QVariant& code, const QVariant& designation, const QVariant& reference) {
    executer(u"INSERT INTO FACTURES_LIGNE VALUES (?, ?, ?, ?, ?, ?, ?)"_s,
             {numero, numeroDeLigne, taux, montant, code, designation, reference});
}

void BaseTest::factCli(const QVariant& facture, const QVariant& dossier, const QVariant& jour,
                       const QVariant& devis, const QVariant& dateMaj, const QVariant& montant) {
    executer(u"INSERT INTO FACTCLI VALUES (?, ?, ?, ?, ?, ?)"_s,
             {facture, dossier, jour, devis, dateMaj, montant});
}

QStringList BaseTest::contenuFactCli() const {
    QSqlQuery q(base());
    // A table without rowid is read in the order of its key.
    const QString sql = u"SELECT NUM_FACTURE, NUM_DOSSIER, JOUR, NUM_DEVIS, DATE_MAJ, "
                        "CAST(Montant AS TEXT) FROM FACTCLI"_s;
    if (!q.exec(sql + u" ORDER BY rowid"_s) && !q.exec(sql))
        echec(q.lastError(), sql);
    QStringList lignes;
    while (q.next()) {
        QStringList champs;
        for (int i = 0; i < 6; ++i)
            champs.append(q.value(i).isNull() ? u"<null>"_s : q.value(i).toString());
        lignes.append(champs.join(u'|'));
    }
    return lignes;
}

static void placer(QString& s, int debut, int longueur, const QString& v) {
    s.replace(debut - 1, longueur, v.left(longueur).leftJustified(longueur, u' '));
}

QString Tranche::texte() const {
    QString s(150, u' ');
    placer(s, 1, 2, numero);
    placer(s, 3, 5, zone03);
    placer(s, 8, 4, zone08);
    placer(s, 12, 19, reference);
    placer(s, 31, 40, designation);
    placer(s, 71, 8, zone71);
    placer(s, 79, 10, zone79);
    placer(s, 89, 11, montant);
    placer(s, 100, 3, zone100);
    placer(s, 103, 1, zone103);
    placer(s, 104, 8, zone104);
    placer(s, 112, 3, zone112);
    placer(s, 115, 8, devis);
    placer(s, 123, 8, dossier);
    placer(s, 141, 1, zone141);
    return s;
}

QString tranche(int numero, const QString& montant, const QString& devis, const QString& dossier) {
    Tranche t;
    t.numero = u"%1"_s.arg(numero, 2, 10, QLatin1Char('0'));
    t.montant = montant;
    t.devis = devis;
    t.dossier = dossier;
    return t.texte();
}

QString EcartInstructions(cc::Connexion& connexion, QStringList& preparees) {
    connexion.releverInstructions(&preparees);
    try {
        cc::ConstruireInstructions(connexion);
    } catch (const cc::Erreur& e) {
        return e.description();
    }
    return premiereDifference(cc::InstructionsDuDialecte(connexion.dialecte()), preparees);
}

} // namespace cc::test
