#pragma once

// The throw-away PostgreSQL server that scripts/postgres starts, and company databases on it with the
// three host tables, dates as real timestamps and amounts as doubles. Header only: every test program
// of this folder includes it.

#include "Lot.h"
#include "Modele.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QTest>
#include <optional>

namespace cc::test {

struct ServeurPostgres {
    QString dossier; // where scripts/postgres keeps serveur.env
    QString hote;
    QString port;
    QString admin;
    QString motAdmin;
    QString pilote;

    // The server that the CTest fixture started ($CC_POSTGRES), or none.
    static std::optional<ServeurPostgres> depuisEnvironnement() {
        const QString dossier = qEnvironmentVariable("CC_POSTGRES");
        if (dossier.isEmpty())
            return std::nullopt;
        QFile f(dossier + QStringLiteral("/serveur.env"));
        if (!f.open(QIODevice::ReadOnly))
            return std::nullopt;
        ServeurPostgres s;
        s.dossier = dossier;
        for (const QByteArray& ligne : f.readAll().split('\n')) {
            const qsizetype egal = ligne.indexOf('=');
            if (egal < 0)
                continue;
            const QByteArray cle = ligne.left(egal);
            QString valeur = QString::fromUtf8(ligne.mid(egal + 1));
            if (valeur.startsWith(u'"') && valeur.endsWith(u'"'))
                valeur = valeur.mid(1, valeur.size() - 2);
            if (cle == "CC_PG_HOTE")
                s.hote = valeur;
            else if (cle == "CC_PG_PORT")
                s.port = valeur;
            else if (cle == "CC_PG_ADMIN")
                s.admin = valeur;
            else if (cle == "CC_PG_MOT_ADMIN")
                s.motAdmin = valeur;
            else if (cle == "CC_PG_PILOTE")
                s.pilote = valeur;
        }
        if (s.port.isEmpty())
            return std::nullopt;
        return s;
    }

    QString chaine(const QString& base) const {
        return QStringLiteral("DRIVER={%1};SERVER=%2;PORT=%3;DATABASE=%4").arg(pilote, hote, port, base);
    }

    // SQLSERVER.DAT as the host product writes it, naming this server the SQL Server way.
    QByteArray sqlServerDat() const {
        return "\"" + hote.toLatin1() + "," + port.toLatin1() + "\"\r\n2008\r\n";
    }

    // scripts/postgres couper|relancer on this server.
    bool commande(const QString& action) const {
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
};

// An open QODBC connection of the test's own, never the program's.
class ConnexionTest {
public:
    ConnexionTest(const ServeurPostgres& s, const QString& base, const QString& utilisateur,
                  const QString& motDePasse) {
        static int compteur = 0;
        nom_ = QStringLiteral("serveur-test-%1").arg(++compteur);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), nom_);
        db.setDatabaseName(s.chaine(base));
        if (!db.open(utilisateur, motDePasse))
            qFatal("ConnexionTest: %s", qPrintable(db.lastError().text()));
    }
    ~ConnexionTest() {
        {
            QSqlDatabase db = QSqlDatabase::database(nom_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(nom_);
    }
    ConnexionTest(const ConnexionTest&) = delete;
    ConnexionTest& operator=(const ConnexionTest&) = delete;

    QSqlDatabase base() const { return QSqlDatabase::database(nom_, false); }

    // Runs one statement; false (with a warning) when it fails.
    bool executer(const QString& sql, const QVariantList& valeurs = {}) const {
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

    QVariant valeur(const QString& sql) const {
        QSqlQuery q(base());
        if (!q.exec(sql) || !q.next())
            return {};
        return q.value(0);
    }

private:
    QString nom_;
};

// A day of the model's text ("yyyy-MM-dd" or "yyyy-MM-dd hh:mm:ss") as a timestamp; Null stays Null.
inline QVariant jourType(const QVariant& jour) {
    if (jour.isNull())
        return QVariant(QMetaType(QMetaType::QDateTime));
    const QString t = jour.toString();
    QDateTime d = QDateTime::fromString(t, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (!d.isValid())
        d = QDateTime(QDate::fromString(t, QStringLiteral("yyyy-MM-dd")), QTime(0, 0));
    return d;
}

inline QVariant dateMajType(const QVariant& dateMaj) {
    if (dateMaj.isNull())
        return QVariant(QMetaType(QMetaType::QDateTime));
    return QDateTime::fromString(dateMaj.toString(), QStringLiteral("dd/MM/yyyy hh:mm"));
}

inline QString texteOuNull(const QVariant& v) {
    return v.isNull() ? QStringLiteral("<null>") : v.toString();
}

// One FACTCLI row as the comparisons show it, whatever the database's column types: days as
// "yyyy-MM-dd hh:mm:ss", DATE_MAJ as "dd/MM/yyyy hh:mm", amounts to the bit.
inline QString rangeeNormalisee(const QVariant& facture, const QVariant& dossier, const QVariant& jour,
                                const QVariant& devis, const QVariant& dateMaj, const QVariant& montant) {
    const QVariant j = jour.metaType().id() == QMetaType::QDateTime ? jour : jourType(jour);
    const QVariant m = dateMaj.metaType().id() == QMetaType::QDateTime ? dateMaj : dateMajType(dateMaj);
    return QStringList{
        texteOuNull(facture),
        texteOuNull(dossier),
        j.isNull() ? QStringLiteral("<null>")
                   : j.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
        texteOuNull(devis),
        m.isNull() ? QStringLiteral("<null>") : m.toDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm")),
        montant.isNull() ? QStringLiteral("<null>") : QString::number(montant.toDouble(), 'g', 17)}
        .join(u'|');
}

// What the model expects, in the same form; a row the run writes shows Horodatage for DATE_MAJ.
inline QStringList factCliAttendu(const std::vector<modele::LigneFactCli>& lignes) {
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

// A company database on the server, created afresh and owned by the company login. Dropped on
// destruction.
class BasePostgres {
public:
    BasePostgres(const ServeurPostgres& serveur, const QString& nom) : serveur_(serveur), nom_(nom) {
        {
            ConnexionTest admin(serveur_, QStringLiteral("postgres"), serveur_.admin, serveur_.motAdmin);
            admin.executer(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(nom_));
            if (!admin.executer(QStringLiteral("CREATE DATABASE \"%1\" OWNER \"VENDRAX\"").arg(nom_)))
                qFatal("BasePostgres: cannot create %s", qPrintable(nom_));
            // A French server reads 07/12/2024 as the 7th of December.
            admin.executer(QStringLiteral("ALTER DATABASE \"%1\" SET datestyle = 'ISO, DMY'").arg(nom_));
        }
        connexion_ = std::make_unique<ConnexionTest>(serveur_, nom_, QStringLiteral("VENDRAX"),
                                                     QStringLiteral("MBRTQL"));
        const QStringList tables{
            QStringLiteral("CREATE TABLE FACTURES (NUMERO_DE_FACTURE varchar(20), JOUR timestamp, "
                           "NUMERO_DE_DOSSIER varchar(20), type_piece varchar(1), flag_divers varchar(1), "
                           "Corps text)"),
            QStringLiteral(
                "CREATE TABLE FACTURES_LIGNE (NUMERO_DE_FACTURE varchar(20), NUMERO_DE_LIGNE integer, "
                "TAUX_REMISE double precision, MONTANT_REMISE double precision, CODE_REMISE "
                "varchar(10), DESIGNATION_COMPLEMENT varchar(255), REFERENCE_MATIERE_COMPLEMENT "
                "varchar(50))"),
            // ID_FACTCLI gives the insertion order, which rows keep when they are rewritten.
            QStringLiteral("CREATE TABLE FACTCLI (ID_FACTCLI serial, NUM_FACTURE varchar(20), NUM_DOSSIER "
                           "varchar(20), JOUR timestamp, NUM_DEVIS varchar(20), DATE_MAJ timestamp, Montant "
                           "double precision)")};
        for (const QString& t : tables)
            if (!connexion_->executer(t))
                qFatal("BasePostgres: cannot create the tables");
    }
    ~BasePostgres() {
        connexion_.reset();
        ConnexionTest admin(serveur_, QStringLiteral("postgres"), serveur_.admin, serveur_.motAdmin);
        admin.executer(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(nom_));
    }
    BasePostgres(const BasePostgres&) = delete;
    BasePostgres& operator=(const BasePostgres&) = delete;

    const QString& nom() const { return nom_; }
    ConnexionTest& connexion() { return *connexion_; }
    // After the server came back: the old connection is dead.
    void reconnecter() {
        connexion_.reset();
        connexion_ = std::make_unique<ConnexionTest>(serveur_, nom_, QStringLiteral("VENDRAX"),
                                                     QStringLiteral("MBRTQL"));
    }

    void remplir(const modele::Societe& s) {
        ConnexionTest& c = *connexion_;
        QVERIFY(c.base().transaction());
        for (const modele::Facture& f : s.factures)
            QVERIFY(c.executer(QStringLiteral("INSERT INTO FACTURES VALUES (?, ?, ?, ?, ?, ?)"),
                               {f.numero, jourType(f.jour), f.dossier, f.typePiece, f.flagDivers, f.corps}));
        for (const modele::Remise& r : s.remises)
            QVERIFY(
                c.executer(QStringLiteral("INSERT INTO FACTURES_LIGNE (NUMERO_DE_FACTURE, NUMERO_DE_LIGNE, "
                                          "TAUX_REMISE, MONTANT_REMISE, CODE_REMISE) VALUES (?, ?, ?, ?, ?)"),
                           {r.numero, r.numeroDeLigne, r.taux, r.montant, r.code}));
        for (const modele::LigneFactCli& l : s.factCli)
            QVERIFY(
                c.executer(QStringLiteral("INSERT INTO FACTCLI (NUM_FACTURE, NUM_DOSSIER, JOUR, NUM_DEVIS, "
                                          "DATE_MAJ, Montant) VALUES (?, ?, ?, ?, ?, ?)"),
                           {l.facture, l.dossier, jourType(l.jour), l.devis, dateMajType(l.dateMaj),
                            l.montant.isNull() ? QVariant(QMetaType(QMetaType::Double)) : l.montant}));
        QVERIFY(c.base().commit());
    }

    QStringList contenuFactCli() const {
        QSqlQuery q(connexion_->base());
        if (!q.exec(QStringLiteral("SELECT NUM_FACTURE, NUM_DOSSIER, JOUR, NUM_DEVIS, DATE_MAJ, Montant FROM "
                                   "FACTCLI ORDER BY ID_FACTCLI")))
            qFatal("BasePostgres: %s", qPrintable(q.lastError().text()));
        QStringList lignes;
        while (q.next())
            lignes << rangeeNormalisee(q.value(0), q.value(1), q.value(2), q.value(3), q.value(4),
                                       q.value(5));
        return lignes;
    }

private:
    ServeurPostgres serveur_;
    QString nom_;
    std::unique_ptr<ConnexionTest> connexion_;
};

// FACTCLI of an SQLite company in the same form as BasePostgres::contenuFactCli().
inline QStringList contenuFactCliNormalise(const std::vector<RangeeFactCli>& rangees) {
    QStringList lignes;
    for (const RangeeFactCli& r : rangees)
        lignes << rangeeNormalisee(r.facture, r.dossier, r.jour, r.devis, r.dateMaj, r.montant);
    return lignes;
}

// A company name of its own for each database of each test program (both locales run at once).
inline QString nomSociete(const char* cas) {
    static int compteur = 0;
    return QStringLiteral("SOC_%1_%2_%3")
        .arg(QCoreApplication::applicationPid())
        .arg(++compteur)
        .arg(QLatin1String(cas));
}

// Points a Lot's installation at the server: SQLSERVER.DAT in its base directory.
inline void versServeur(Lot& lot, const ServeurPostgres& s) {
    const QString base = QFileInfo(QFileInfo(lot.cheminBase()).absolutePath()).absolutePath();
    QFile f(base + QStringLiteral("/SQLSERVER.DAT"));
    if (!f.open(QIODevice::WriteOnly) || f.write(s.sqlServerDat()) < 0)
        qFatal("versServeur: cannot write SQLSERVER.DAT");
}

} // namespace cc::test
