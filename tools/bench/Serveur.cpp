#include "Serveur.h"

#include "ServeurEnv.h"

#include "Lancement.h"
#include "data/ConnexionBase.h"

#include "ConnexionOutil.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <stdexcept>

namespace cc::banc {

namespace {

const QString Compte = QStringLiteral("VENDRAX");
const QString MotCompte = QStringLiteral("MBRTQL");
// The version that SQLSERVER.DAT gives: the program then keeps the newer driver's time-outs.
const QString VersionSql = QStringLiteral("2008");

[[noreturn]] void echouer(const QString& message) {
    throw std::runtime_error(message.toStdString());
}

QString identifiant(const QString& nom) {
    return u'"' + QString(nom).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// One value in COPY's text format. Doubles are written in full so that the server holds the same
// amounts to the bit.
void ajouterValeur(QByteArray& tampon, const QVariant& v) {
    if (v.isNull()) {
        tampon += "\\N";
        return;
    }
    if (v.typeId() == QMetaType::Double) {
        tampon += QByteArray::number(v.toDouble(), 'g', 17);
        return;
    }
    const QByteArray texte = v.toString().toUtf8();
    for (const char c : texte) {
        switch (c) {
        case '\\':
            tampon += "\\\\";
            break;
        case '\n':
            tampon += "\\n";
            break;
        case '\r':
            tampon += "\\r";
            break;
        case '\t':
            tampon += "\\t";
            break;
        default:
            tampon += c;
        }
    }
}

struct Table {
    QString nom;
    QString creation;
    QString colonnes;
};

// The shapes of the host product's server tables.
const QList<Table>& tables() {
    static const QList<Table> t{
        {QStringLiteral("FACTURES"),
         QStringLiteral("CREATE TABLE FACTURES (NUMERO_DE_FACTURE varchar(20), JOUR timestamp, "
                        "NUMERO_DE_DOSSIER varchar(20), type_piece varchar(1), flag_divers varchar(1), "
                        "Corps text)"),
         QStringLiteral("NUMERO_DE_FACTURE, JOUR, NUMERO_DE_DOSSIER, type_piece, flag_divers, Corps")},
        {QStringLiteral("FACTURES_LIGNE"),
         QStringLiteral(
             "CREATE TABLE FACTURES_LIGNE (NUMERO_DE_FACTURE varchar(20), NUMERO_DE_LIGNE integer, "
             "TAUX_REMISE double precision, MONTANT_REMISE double precision, CODE_REMISE "
             "varchar(10), DESIGNATION_COMPLEMENT varchar(255), REFERENCE_MATIERE_COMPLEMENT "
             "varchar(50))"),
         QStringLiteral("NUMERO_DE_FACTURE, NUMERO_DE_LIGNE, TAUX_REMISE, MONTANT_REMISE, CODE_REMISE, "
                        "DESIGNATION_COMPLEMENT, REFERENCE_MATIERE_COMPLEMENT")},
        {QStringLiteral("FACTCLI"),
         QStringLiteral("CREATE TABLE FACTCLI (ID_FACTCLI serial, NUM_FACTURE varchar(20), NUM_DOSSIER "
                        "varchar(20), JOUR timestamp, NUM_DEVIS varchar(20), DATE_MAJ timestamp, Montant "
                        "double precision)"),
         QStringLiteral("NUM_FACTURE, NUM_DOSSIER, JOUR, NUM_DEVIS, DATE_MAJ, Montant")},
    };
    return t;
}

// psql fed on its standard input as it reads, so that a large company never sits whole in memory.
class Psql {
public:
    Psql(const QString& programme, const QStringList& arguments, const QString& motDePasse) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGPASSWORD"), motDePasse);
        env.insert(QStringLiteral("PGCLIENTENCODING"), QStringLiteral("UTF8"));
        p_.setProcessEnvironment(env);
        p_.setProcessChannelMode(QProcess::MergedChannels);
        p_.start(programme, arguments);
        if (!p_.waitForStarted(-1))
            echouer(QStringLiteral("impossible de lancer %1 : %2").arg(programme, p_.errorString()));
    }
    ~Psql() {
        if (p_.state() != QProcess::NotRunning) {
            p_.kill();
            p_.waitForFinished(-1);
        }
    }
    Psql(const Psql&) = delete;
    Psql& operator=(const Psql&) = delete;

    void ecrire(const QByteArray& octets) {
        p_.write(octets);
        // psql stops reading when a statement fails: without this, the writes would pile up.
        while (p_.bytesToWrite() > 4 * 1024 * 1024) {
            if (p_.state() != QProcess::Running || !p_.waitForBytesWritten(-1)) {
                terminer();
                echouer(QStringLiteral("psql s'est arrêté avant la fin des données"));
            }
        }
    }
    // Ends the input and waits; a failure throws with what psql said.
    void terminer() {
        p_.closeWriteChannel();
        p_.waitForFinished(-1);
        if (p_.exitStatus() != QProcess::NormalExit || p_.exitCode() != 0)
            echouer(QStringLiteral("psql a échoué (code %1) : %2")
                        .arg(p_.exitCode())
                        .arg(QString::fromUtf8(p_.readAll()).trimmed()));
    }

private:
    QProcess p_;
};

} // namespace

ServeurBanc::ServeurBanc(const QString& script, const QString& dossier) : script_(script), dossier_(dossier) {
    const Lancement l =
        Lancer(script_, {QStringLiteral("demarrer"), dossier_}, QProcessEnvironment::systemEnvironment());
    if (!l.demarre || l.code != 0) {
        // A half-started cluster goes too.
        Lancer(script_, {QStringLiteral("arreter"), dossier_}, QProcessEnvironment::systemEnvironment());
        const QString dit = QString::fromLocal8Bit(l.erreurs + l.sortie).trimmed();
        QString cause = l.demarre ? QStringLiteral("code %1").arg(l.code)
                                  : QStringLiteral("script introuvable, non exécutable ou tué");
        if (!dit.isEmpty())
            cause += QStringLiteral(" : ") + dit;
        echouer(QStringLiteral("impossible de démarrer PostgreSQL avec %1 (%2)").arg(script_, cause));
    }
    const QString chemin = dossier_ + QStringLiteral("/serveur.env");
    const auto env = outils::LireServeurEnv(chemin);
    if (!env) {
        Lancer(script_, {QStringLiteral("arreter"), dossier_}, QProcessEnvironment::systemEnvironment());
        echouer(QStringLiteral("PostgreSQL démarré sans %1").arg(chemin));
    }
    bin_ = env->value("CC_PG_BIN");
    hote_ = env->value("CC_PG_HOTE");
    port_ = env->value("CC_PG_PORT");
    admin_ = env->value("CC_PG_ADMIN");
    motAdmin_ = env->value("CC_PG_MOT_ADMIN");
    if (bin_.isEmpty() || hote_.isEmpty() || port_.isEmpty() || admin_.isEmpty()) {
        Lancer(script_, {QStringLiteral("arreter"), dossier_}, QProcessEnvironment::systemEnvironment());
        echouer(QStringLiteral("%1 incomplet").arg(chemin));
    }
}

ServeurBanc::~ServeurBanc() {
    Lancer(script_, {QStringLiteral("arreter"), dossier_}, QProcessEnvironment::systemEnvironment());
}

void ServeurBanc::psql(const QString& base, bool admin, const QString& script) {
    Psql p(bin_ + QStringLiteral("/psql"),
           {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
            QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), hote_, QStringLiteral("-p"), port_,
            QStringLiteral("-U"), admin ? admin_ : Compte, QStringLiteral("-d"), base},
           admin ? motAdmin_ : MotCompte);
    p.ecrire(script.toUtf8());
    p.terminer();
}

void ServeurBanc::creerBase(const QString& nom, const QString& modele) {
    const QString id = identifiant(nom);
    QString creation = QStringLiteral("CREATE DATABASE %1 OWNER %2").arg(id, identifiant(Compte));
    if (!modele.isEmpty())
        creation += QStringLiteral(" TEMPLATE ") + identifiant(modele);
    // A database's settings do not come with its template: each copy is given them again.
    psql(QStringLiteral("postgres"), true,
         QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE);\n%2;\n"
                        "ALTER DATABASE %1 SET datestyle = 'ISO, DMY';\n")
             .arg(id, creation));
}

qint64 ServeurBanc::charger(const QString& sqlite, const QString& nom) {
    creerBase(nom, {});
    const outils::ConnexionOutil lecture(QStringLiteral("QSQLITE"), sqlite,
                                         outils::ConnexionOutil::lectureSeule());
    Psql p(bin_ + QStringLiteral("/psql"),
           {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
            QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), hote_, QStringLiteral("-p"), port_,
            QStringLiteral("-U"), Compte, QStringLiteral("-d"), nom},
           MotCompte);
    // DATE_MAJ is written "dd/MM/yyyy hh:mm", read day first as a French server reads it.
    p.ecrire("SET client_encoding = 'UTF8';\nSET datestyle = 'ISO, DMY';\n");
    qint64 lignes = 0;
    QByteArray tampon;
    for (const Table& t : tables()) {
        p.ecrire(
            (t.creation + QStringLiteral(";\nCOPY %1 (%2) FROM STDIN;\n").arg(t.nom, t.colonnes)).toUtf8());
        // In insertion order: FACTCLI's serial numbers follow it, as the host product's do.
        QSqlQuery q =
            lecture.executer(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(t.colonnes, t.nom));
        const int colonnes = q.record().count();
        while (q.next()) {
            for (int c = 0; c < colonnes; ++c) {
                if (c > 0)
                    tampon += '\t';
                ajouterValeur(tampon, q.value(c));
            }
            tampon += '\n';
            ++lignes;
            if (tampon.size() > 1024 * 1024) {
                p.ecrire(tampon);
                tampon.clear();
            }
        }
        tampon += "\\.\n";
        p.ecrire(tampon);
        tampon.clear();
    }
    // The company's own indexes: SQLite and PostgreSQL read the same CREATE INDEX.
    QSqlQuery index = lecture.executer(QStringLiteral(
        "SELECT sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL ORDER BY rowid"));
    while (index.next())
        p.ecrire((index.value(0).toString() + QStringLiteral(";\n")).toUtf8());
    p.ecrire("ANALYZE;\n");
    p.terminer();
    return lignes;
}

void ServeurBanc::copier(const QString& source, const QString& nom) {
    creerBase(nom, source);
}

void ServeurBanc::executer(const QString& nom, const QString& sql) {
    psql(nom, false, sql + QStringLiteral(";\n"));
}

QByteArray ServeurBanc::sqlServerDat() const {
    return "\"" + hote_.toLatin1() + "," + port_.toLatin1() + "\"\r\n" + VersionSql.toLatin1() + "\r\n";
}

Source ServeurBanc::source(const QString& nom) const {
    Environnement env;
    env.ServeurSQL = hote_ + u',' + port_;
    env.VersionSQL = VersionSql;
    // Only the name of the company's directory counts: it is the database's.
    ParametresOdbc p;
    try {
        p = ParametresSqlServer(env, QStringLiteral("/base/") + nom + QStringLiteral("/vendrax.mdb"),
                                PilotesOdbcInstalles());
    } catch (const std::exception& e) {
        echouer(QString::fromUtf8(e.what()));
    }
    Source s;
    s.pilote = QStringLiteral("QODBC");
    s.base = p.chaine;
    // The options with which the program opens its connection.
    s.options = QStringLiteral("SQL_ATTR_ODBC_VERSION=SQL_OV_ODBC3;SQL_ATTR_LOGIN_TIMEOUT=%1;"
                               "SQL_ATTR_CONNECTION_TIMEOUT=%1")
                    .arg(p.delaiConnexionS);
    s.utilisateur = p.utilisateur;
    s.motDePasse = p.motDePasse;
    s.joursEnTexte = false;
    s.ordreFactCli = QStringLiteral("ID_FACTCLI");
    return s;
}

} // namespace cc::banc
