#include "ServeurTest.h"

#include "ServeurEnv.h"

#include "commun/Horloge.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMetaType>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTime>

using namespace Qt::StringLiterals;

namespace cc::test {

std::optional<ServeurPostgres> ServeurPostgres::depuisEnvironnement() {
    const QString dossier = qEnvironmentVariable("CC_POSTGRES");
    if (dossier.isEmpty())
        return std::nullopt;
    const auto env = outils::LireServeurEnv(dossier + u"/serveur.env"_s);
    if (!env)
        return std::nullopt;
    ServeurPostgres s;
    s.dossier = dossier;
    s.hote = env->value("CC_PG_HOTE");
    s.port = env->value("CC_PG_PORT");
    s.admin = env->value("CC_PG_ADMIN");
    s.motAdmin = env->value("CC_PG_MOT_ADMIN");
    s.pilote = env->value("CC_PG_PILOTE");
    if (s.port.isEmpty())
        return std::nullopt;
    return s;
}

QString ServeurPostgres::chaine(const QString& base) const {
    return u"DRIVER={%1};SERVER=%2;PORT=%3;DATABASE=%4"_s.arg(pilote, hote, port, base);
}

bool ServeurPostgres::commande(const QString& action) const {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(qEnvironmentVariable("CC_POSTGRES_SCRIPT"), {action, dossier});
    const bool fini = p.waitForFinished(120000);
    if (!fini || p.exitCode() != 0) {
        qWarning("scripts/postgres %s: %s", qPrintable(action), p.readAll().constData());
        return false;
    }
    return true;
}

ConnexionTest::ConnexionTest(const ServeurPostgres& s, const QString& base, const QString& utilisateur,
                             const QString& motDePasse)
    : connexion_(u"QODBC"_s, s.chaine(base), {}, utilisateur, motDePasse) {}

bool ConnexionTest::executer(const QString& sql, const QVariantList& valeurs) const {
    QSqlQuery q(base());
    if (!q.prepare(sql)) {
        qWarning("%s\n%s", qPrintable(q.lastError().text()), qPrintable(sql));
        return false;
    }
    for (int i = 0; i < valeurs.size(); ++i)
        q.bindValue(i, valeurs.at(i));
    if (!q.exec()) {
        qWarning("%s\n%s", qPrintable(q.lastError().text()), qPrintable(sql));
        return false;
    }
    return true;
}

QVariant ConnexionTest::valeur(const QString& sql) const {
    QSqlQuery q(base());
    if (!q.exec(sql) || !q.next())
        return {};
    return q.value(0);
}

QVariant jourType(const QVariant& jour) {
    if (jour.isNull())
        return QVariant(QMetaType(QMetaType::QDateTime));
    const QString t = jour.toString();
    QDateTime d = QDateTime::fromString(t, u"yyyy-MM-dd hh:mm:ss"_s);
    if (!d.isValid())
        d = QDateTime(QDate::fromString(t, u"yyyy-MM-dd"_s), QTime(0, 0));
    return d;
}

QVariant dateMajType(const QVariant& dateMaj) {
    if (dateMaj.isNull())
        return QVariant(QMetaType(QMetaType::QDateTime));
    return QDateTime::fromString(dateMaj.toString(), FormatDateMaj);
}

QString texteOuNull(const QVariant& v) {
    return v.isNull() ? u"<null>"_s : v.toString();
}

QString rangeeNormalisee(const QVariant& facture, const QVariant& dossier, const QVariant& jour,
                         const QVariant& devis, const QVariant& dateMaj, const QVariant& montant) {
    const QVariant j = jour.metaType().id() == QMetaType::QDateTime ? jour : jourType(jour);
    const QVariant m = dateMaj.metaType().id() == QMetaType::QDateTime ? dateMaj : dateMajType(dateMaj);
    return QStringList{texteOuNull(facture),
                       texteOuNull(dossier),
                       j.isNull() ? u"<null>"_s : j.toDateTime().toString(u"yyyy-MM-dd hh:mm:ss"_s),
                       texteOuNull(devis),
                       m.isNull() ? u"<null>"_s : m.toDateTime().toString(FormatDateMaj),
                       montant.isNull() ? u"<null>"_s : QString::number(montant.toDouble(), 'g', 17)}
        .join(u'|');
}

QStringList factCliAttendu(const std::vector<modele::LigneFactCli>& lignes) {
    QStringList r;
    for (const modele::LigneFactCli& l : lignes) {
        QString t = rangeeNormalisee(l.facture, l.dossier, l.jour, l.devis, l.dateMaj, l.montant);
        if (l.horodatee) {
            QStringList champs = t.split(u'|');
            champs[4] = Horodatage;
            t = champs.join(u'|');
        }
        r << t;
    }
    return r;
}

BasePostgres::BasePostgres(const ServeurPostgres& serveur, const QString& nom)
    : serveur_(serveur), nom_(nom) {
    {
        ConnexionTest admin(serveur_, u"postgres"_s, serveur_.admin, serveur_.motAdmin);
        admin.executer(u"DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)"_s.arg(nom_));
        if (!admin.executer(u"CREATE DATABASE \"%1\" OWNER \"VENDRAX\""_s.arg(nom_)))
            qFatal("BasePostgres: cannot create %s", qPrintable(nom_));
        // A French server reads 07/12/2024 as the 7th of December.
        admin.executer(u"ALTER DATABASE \"%1\" SET datestyle = 'ISO, DMY'"_s.arg(nom_));
    }
    connexion_ = std::make_unique<ConnexionTest>(serveur_, nom_, u"VENDRAX"_s, u"MBRTQL"_s);
    const QStringList tables{
        u"CREATE TABLE FACTURES (NUMERO_DE_FACTURE varchar(20), JOUR timestamp, "
        "NUMERO_DE_DOSSIER varchar(20), type_piece varchar(1), flag_divers varchar(1), "
        "Corps text)"_s,
        u"CREATE TABLE FACTURES_LIGNE (NUMERO_DE_FACTURE varchar(20), NUMERO_DE_LIGNE integer, "
        "TAUX_REMISE double precision, MONTANT_REMISE double precision, CODE_REMISE "
        "varchar(10), DESIGNATION_COMPLEMENT varchar(255), REFERENCE_MATIERE_COMPLEMENT "
        "varchar(50))"_s,
        // ID_FACTCLI gives the insertion order, which rows keep when they are rewritten.
        u"CREATE TABLE FACTCLI (ID_FACTCLI serial, NUM_FACTURE varchar(20), NUM_DOSSIER "
        "varchar(20), JOUR timestamp, NUM_DEVIS varchar(20), DATE_MAJ timestamp, Montant "
        "double precision)"_s};
    for (const QString& t : tables)
        if (!connexion_->executer(t))
            qFatal("BasePostgres: cannot create the tables");
}

BasePostgres::~BasePostgres() {
    connexion_.reset();
    ConnexionTest admin(serveur_, u"postgres"_s, serveur_.admin, serveur_.motAdmin);
    admin.executer(u"DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)"_s.arg(nom_));
}

void BasePostgres::reconnecter() {
    connexion_.reset();
    connexion_ = std::make_unique<ConnexionTest>(serveur_, nom_, u"VENDRAX"_s, u"MBRTQL"_s);
}

void BasePostgres::remplir(const modele::Societe& s) {
    ConnexionTest& c = *connexion_;
    QVERIFY(c.base().transaction());
    for (const modele::Facture& f : s.factures)
        QVERIFY(c.executer(u"INSERT INTO FACTURES VALUES (?, ?, ?, ?, ?, ?)"_s,
                           {f.numero, jourType(f.jour), f.dossier, f.typePiece, f.flagDivers, f.corps}));
    for (const modele::Remise& r : s.remises)
        QVERIFY(c.executer(u"INSERT INTO FACTURES_LIGNE (NUMERO_DE_FACTURE, NUMERO_DE_LIGNE, "
                           "TAUX_REMISE, MONTANT_REMISE, CODE_REMISE) VALUES (?, ?, ?, ?, ?)"_s,
                           {r.numero, r.numeroDeLigne, r.taux, r.montant, r.code}));
    for (const modele::LigneFactCli& l : s.factCli)
        QVERIFY(c.executer(u"INSERT INTO FACTCLI (NUM_FACTURE, NUM_DOSSIER, JOUR, NUM_DEVIS, "
                           "DATE_MAJ, Montant) VALUES (?, ?, ?, ?, ?, ?)"_s,
                           {l.facture, l.dossier, jourType(l.jour), l.devis, dateMajType(l.dateMaj),
                            l.montant.isNull() ? QVariant(QMetaType(QMetaType::Double)) : l.montant}));
    QVERIFY(c.base().commit());
}

QStringList BasePostgres::contenuFactCli() const {
    QSqlQuery q(connexion_->base());
    if (!q.exec(u"SELECT NUM_FACTURE, NUM_DOSSIER, JOUR, NUM_DEVIS, DATE_MAJ, Montant FROM "
                "FACTCLI ORDER BY ID_FACTCLI"_s))
        qFatal("BasePostgres: %s", qPrintable(q.lastError().text()));
    QStringList lignes;
    while (q.next())
        lignes << rangeeNormalisee(q.value(0), q.value(1), q.value(2), q.value(3), q.value(4), q.value(5));
    return lignes;
}

QStringList contenuFactCliNormalise(const std::vector<RangeeFactCli>& rangees) {
    QStringList lignes;
    for (const RangeeFactCli& r : rangees)
        lignes << rangeeNormalisee(r.facture, r.dossier, r.jour, r.devis, r.dateMaj, r.montant);
    return lignes;
}

QString nomSociete(const char* cas) {
    static int compteur = 0;
    return u"SOC_%1_%2_%3"_s.arg(QCoreApplication::applicationPid()).arg(++compteur).arg(QLatin1String(cas));
}

void versServeur(Lot& lot, const ServeurPostgres& s) {
    const QString base = QFileInfo(QFileInfo(lot.cheminBase()).absolutePath()).absolutePath();
    QFile f(base + u"/SQLSERVER.DAT"_s);
    if (!f.open(QIODevice::WriteOnly) || f.write(s.sqlServerDat()) < 0)
        qFatal("versServeur: cannot write SQLSERVER.DAT");
}

} // namespace cc::test
