#include "data/ConnexionBase.h"

#include "commun/Windows1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <exception>
#include <iterator>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace cc {

namespace {

// The SQL Server login, given apart from the connection string, and the Jet database password.
const QString UtilisateurSql = QStringLiteral("VENDRAX");
const QString MotDePasseSql = QStringLiteral("MBRTQL");
const QString MotDePasseJet = QStringLiteral("mbrtql");

// Time-outs of the older SQL Server driver; the newer one keeps those the original left by default.
constexpr int DelaiConnexionAncien = 10;
constexpr int DelaiRequeteAncien = 120;
constexpr int DelaiConnexionDefaut = 15;
constexpr int DelaiRequeteDefaut = 30;

// Busy time-out of an SQLite file, so that the host product writing at the same moment makes us wait.
constexpr int DelaiOccupeSQLiteMs = 10000;

QString attribut(const QString& nom, const QString& valeur) {
    return nom + u'=' + ValeurOdbc(valeur);
}

std::unique_ptr<Connexion> ouvrirOdbc(const ParametresOdbc& p) {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
        throw Erreur(Erreur::PiloteIntrouvable,
                     QStringLiteral("Le module ODBC de Qt (QODBC) n'est pas installé."));
    std::unique_ptr<Connexion> connexion;
    try {
        connexion =
            Connexion::ouvrirOdbc(p.chaine, p.utilisateur, p.motDePasse, p.dialecte, p.delaiConnexionS);
    } catch (const Erreur& e) {
        throw ErreurPilote(e, QStringLiteral("QODBC"));
    }
    connexion->definirDelaiRequete(p.delaiRequeteS);
    return connexion;
}

std::unique_ptr<Connexion> ouvrirJet(const QString& chemin) {
    if (!QFileInfo::exists(chemin))
        throw Erreur(Erreur::FichierIntrouvable,
                     QStringLiteral("Fichier introuvable : %1").arg(QDir::toNativeSeparators(chemin)));
    QFile fichier(chemin);
    if (!fichier.open(QIODevice::ReadOnly))
        throw Erreur(Erreur::AccesFichier, QStringLiteral("Impossible de lire %1 : %2")
                                               .arg(QDir::toNativeSeparators(chemin), fichier.errorString()));
    const FormatBase format = FormatFichierBase(fichier.read(20));
    fichier.close();
    if (format == FormatBase::Autre)
        throw Erreur(Erreur::FormatBaseInconnu,
                     QStringLiteral("Le fichier %1 n'est pas une base de données (ni SQLite, ni Access).")
                         .arg(QDir::toNativeSeparators(chemin)));
    if (format == FormatBase::SQLite) {
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
            throw Erreur(Erreur::PiloteIntrouvable,
                         QStringLiteral("Le module SQLite de Qt (QSQLITE) n'est pas installé."));
        try {
            return Connexion::ouvrirSQLite(chemin, DelaiOccupeSQLiteMs);
        } catch (const Erreur& e) {
            throw ErreurPilote(e, QStringLiteral("SQLite"));
        }
    }
    return ouvrirOdbc(ParametresJet(chemin, PilotesOdbcInstalles()));
}

} // namespace

TypeSource LireFichierSqlServer(Environnement& env) {
    const QString chemin = env.RepertoireBase + QDir::separator() + QStringLiteral("SQLSERVER.DAT");
    if (!EstFichierNormal(chemin))
        return TypeSource::Jet;
    // A file that cannot be read is as a file without values: the connection then says what fails.
    QFile fichier(chemin);
    if (fichier.open(QIODevice::ReadOnly)) {
        QByteArray octets = fichier.read(64 * 1024);
        QString texte;
        if (octets.startsWith("\xEF\xBB\xBF"))
            texte = QString::fromUtf8(octets.mid(3));
        else
            texte = DecoderWindows1252(octets);
        const QStringList valeurs = LireValeursDelimitees(texte, 2);
        if (valeurs.size() > 0)
            env.ServeurSQL = valeurs.at(0);
        if (valeurs.size() > 1)
            env.VersionSQL = valeurs.at(1);
    }
    return TypeSource::SqlServer;
}

QString NomBaseSql(const QString& chemin) {
    const QString p = QDir::fromNativeSeparators(chemin);
    const qsizetype dernier = p.lastIndexOf(u'/');
    if (dernier < 0)
        return {};
    const qsizetype avant = dernier > 0 ? p.lastIndexOf(u'/', dernier - 1) : -1;
    return p.mid(avant + 1, dernier - avant - 1);
}

QStringList LireValeursDelimitees(QStringView texte, int nombreMax) {
    QStringList valeurs;
    const qsizetype n = texte.size();
    const auto blanc = [](QChar c) { return c == u' ' || c == u'\t'; };
    const auto finDeValeur = [](QChar c) { return c == u',' || c == u'\r' || c == u'\n'; };
    qsizetype i = 0;
    while (i < n && valeurs.size() < nombreMax) {
        while (i < n && blanc(texte[i]))
            ++i;
        QString valeur;
        if (i < n && texte[i] == u'"') {
            const qsizetype debut = i + 1;
            qsizetype fin = texte.indexOf(u'"', debut);
            if (fin < 0)
                fin = n;
            valeur = texte.mid(debut, fin - debut).toString();
            // Whatever follows the closing quote up to the separator is not part of the value.
            i = fin;
            while (i < n && !finDeValeur(texte[i]))
                ++i;
        } else {
            const qsizetype debut = i;
            while (i < n && !finDeValeur(texte[i]))
                ++i;
            qsizetype fin = i;
            while (fin > debut && blanc(texte[fin - 1]))
                --fin;
            valeur = texte.mid(debut, fin - debut).toString();
        }
        valeurs.append(valeur);
        if (i >= n)
            break;
        if (texte[i] == u',') {
            ++i;
            // A comma at the end of a line: the comma and the line end are one separator.
            qsizetype j = i;
            while (j < n && blanc(texte[j]))
                ++j;
            if (j < n && (texte[j] == u'\r' || texte[j] == u'\n'))
                i = j;
            else
                continue;
        }
        if (texte[i] == u'\r' && i + 1 < n && texte[i + 1] == u'\n')
            i += 2;
        else
            ++i;
    }
    return valeurs;
}

FormatBase FormatFichierBase(const QByteArray& debut) {
    if (debut.startsWith(QByteArrayView("SQLite format 3\0", 16)))
        return FormatBase::SQLite;
    const QByteArray signature = debut.mid(4, 15);
    if (signature == "Standard Jet DB" || signature == "Standard ACE DB")
        return FormatBase::Jet;
    return FormatBase::Autre;
}

QStringList PilotesOdbcInstalles() {
    QStringList pilotes;
    SQLHENV environnement = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environnement)))
        return pilotes;
    SQLSetEnvAttr(environnement, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLUSMALLINT sens = SQL_FETCH_FIRST;
    for (;;) {
        // The wide-character entry point: the 8-bit one aborts under Wine. Lengths are in characters.
        SQLWCHAR description[512] = {};
        SQLWCHAR attributs[2048] = {};
        SQLSMALLINT longueurDescription = 0;
        SQLSMALLINT longueurAttributs = 0;
        const SQLRETURN r =
            SQLDriversW(environnement, sens, description, std::size(description) - 1, &longueurDescription,
                        attributs, std::size(attributs) - 1, &longueurAttributs);
        if (!SQL_SUCCEEDED(r))
            break;
        static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
        pilotes.append(QString::fromUtf16(reinterpret_cast<const char16_t*>(description)));
        sens = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, environnement);
    return pilotes;
}

QString ValeurOdbc(const QString& valeur) {
    const bool risque = valeur.contains(u';') || valeur.contains(u'{') || valeur.contains(u'}') ||
                        valeur.contains(u'=') || valeur.startsWith(u' ') || valeur.endsWith(u' ');
    if (!risque)
        return valeur;
    QString v = valeur;
    v.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + v + u'}';
}

ParametresOdbc ParametresSqlServer(const Environnement& env, const QString& chemin,
                                   const QStringList& pilotes, Systeme systeme) {
    const QString version = SupprimerBlancs(env.VersionSQL);
    const bool recent = version == QStringLiteral("2005") || version == QStringLiteral("2008");

    const QString pilote = PiloteSqlServer(pilotes, recent, systeme);
    if (pilote.isEmpty())
        throw Erreur(
            Erreur::PiloteIntrouvable,
            QStringLiteral("Aucun pilote ODBC pour SQL Server n'est installé (« %1 », « %2 », « %3 » "
                           "ou « %4 »).")
                .arg(Pilote18, Pilote17, PiloteFreeTds, PilotePostgres));

    ParametresOdbc p;
    p.dialecte = DialecteDuPilote(pilote);
    p.utilisateur = UtilisateurSql;
    p.motDePasse = MotDePasseSql;
    QStringList attributs{QStringLiteral("DRIVER={") + pilote + u'}'};
    if (p.dialecte == Dialecte::Postgres) {
        // "host,port" as SQL Server writes it; the PostgreSQL driver takes them apart.
        const auto [hote, port] = ServeurEtPort(env.ServeurSQL);
        attributs.append(attribut(QStringLiteral("SERVER"), hote));
        if (!port.isEmpty())
            attributs.append(attribut(QStringLiteral("PORT"), port));
    } else {
        attributs.append(attribut(QStringLiteral("SERVER"), env.ServeurSQL));
    }
    attributs.append(attribut(QStringLiteral("DATABASE"), NomBaseSql(chemin)));
    // The original never asked for encryption; Driver 18 would demand it, and refuse an office server
    // whose certificate it cannot verify.
    if (pilote == Pilote18)
        attributs.append(QStringLiteral("Encrypt=no"));
    const bool pilotMicrosoft = pilote == Pilote18 || pilote == Pilote17 || systeme == Systeme::Windows;
    if (recent) {
        if (pilotMicrosoft)
            attributs.append(QStringLiteral("MARS_Connection=yes"));
        p.delaiConnexionS = DelaiConnexionDefaut;
        p.delaiRequeteS = DelaiRequeteDefaut;
    } else {
        p.delaiConnexionS = DelaiConnexionAncien;
        p.delaiRequeteS = DelaiRequeteAncien;
    }
    p.chaine = attributs.join(u';');
    return p;
}

std::pair<QString, QString> ServeurEtPort(const QString& serveur) {
    const QString s = SupprimerBlancs(serveur);
    const qsizetype virgule = s.lastIndexOf(u',');
    if (virgule < 0)
        return {s, {}};
    const QString port = SupprimerBlancs(QStringView(s).mid(virgule + 1));
    bool nombre = false;
    const int valeur = port.toInt(&nombre);
    // Anything but a port number stays part of the name, for the driver to refuse it whole.
    if (!nombre || valeur <= 0 || valeur > 65535)
        return {s, {}};
    return {SupprimerBlancs(QStringView(s).first(virgule)), QString::number(valeur)};
}

ParametresOdbc ParametresJet(const QString& chemin, const QStringList& pilotes, Systeme systeme) {
    ParametresOdbc p;
    p.dialecte = Dialecte::Jet;
    const QString fichier = QDir::toNativeSeparators(chemin);
    const QString pilote = PiloteJet(pilotes, systeme);
    if (pilote.isEmpty())
        throw Erreur(
            Erreur::PiloteIntrouvable,
            QStringLiteral("%1 n'est pas une base SQLite et aucun pilote ODBC « %2 » n'est installé pour "
                           "lire un fichier Jet.")
                .arg(fichier, PiloteMdbTools));
    p.chaine =
        QStringLiteral("DRIVER={") + pilote + QStringLiteral("};") + attribut(QStringLiteral("DBQ"), fichier);
    // The database password goes only in the connection string (Windows' Access driver).
    if (systeme == Systeme::Windows)
        p.chaine += u';' + attribut(QStringLiteral("PWD"), MotDePasseJet);
    return p;
}

Erreur ErreurPilote(const Erreur& erreur, const QString& sourceParDefaut) {
    if (!erreur.source().isEmpty())
        return erreur;
    const QString texte = erreur.description();
    // ODBC diagnostics read "[component][component]text", several of them one after the other: the
    // last one is the one that says why.
    qsizetype debutSource = -1;
    qsizetype finSource = -1;
    for (qsizetype i = 0; i < texte.size(); ++i) {
        if (texte[i] != u'[' || (i > 0 && texte[i - 1] != u' '))
            continue;
        qsizetype j = i;
        while (j < texte.size() && texte[j] == u'[') {
            const qsizetype f = texte.indexOf(u']', j);
            if (f < 0)
                break;
            j = f + 1;
        }
        if (j > i && j < texte.size() && !texte.mid(j).trimmed().isEmpty()) {
            debutSource = i;
            finSource = j;
        }
    }
    if (debutSource < 0)
        return Erreur(erreur.numero(), texte, sourceParDefaut);
    return Erreur(erreur.numero(), texte.mid(finSource).trimmed(),
                  texte.mid(debutSource, finSource - debutSource));
}

QString DesignationBase(const Environnement& env, const QString& chemin, TypeSource type) {
    if (type == TypeSource::SqlServer)
        return QStringLiteral("SQL Server %1 sur le serveur %2").arg(NomBaseSql(chemin), env.ServeurSQL);
    return QDir::toNativeSeparators(chemin);
}

QString IdentiteBase(const Environnement& env, const QString& chemin, TypeSource type) {
    if (type == TypeSource::SqlServer)
        return QStringLiteral("serveur:") + env.ServeurSQL + u'/' + NomBaseSql(chemin);
    const QFileInfo fichier(chemin);
    const QString canonique = fichier.canonicalFilePath();
    return QStringLiteral("fichier:") + (canonique.isEmpty() ? fichier.absoluteFilePath() : canonique);
}

QString MessageErreurConnexion(const Erreur& erreur, const QString& designation) {
    const QString ligne = QStringLiteral("\r\n");
    QString texte;
    if (!designation.isEmpty())
        texte = QStringLiteral("Impossible d'ouvrir la base de données %1.").arg(designation) + ligne + ligne;
    const QString numeroEtDescription = QStringLiteral("Erreur ") + QString::number(erreur.numero()) +
                                        QStringLiteral(" : ") + erreur.description();
    if (erreur.numero() == Erreur::FormatBaseInconnu) {
        texte += numeroEtDescription;
    } else if (erreur.source().isEmpty()) {
        texte += numeroEtDescription + ligne + ligne +
                 QStringLiteral("Impossible d'établir la connexion de données.") + ligne +
                 QStringLiteral("ADO ou OLEDB ne sont peut-être pas bien installés sur cette machine.");
    } else {
        texte += QStringLiteral("Une erreur s'est produite lors de la connexion à la base.") + ligne + ligne +
                 QStringLiteral("Source: ") + erreur.source() + ligne + QStringLiteral("Description: ") +
                 erreur.description() + ligne + ligne;
    }
    // No driver should echo a password, but none ever reaches the screen.
    texte.replace(MotDePasseSql, QStringLiteral("******"), Qt::CaseInsensitive);
    return texte;
}

std::unique_ptr<Connexion> Connecter(const Environnement& env, const QString& chemin, TypeSource type) {
    if (type == TypeSource::SqlServer)
        return ouvrirOdbc(ParametresSqlServer(env, chemin, PilotesOdbcInstalles()));
    return ouvrirJet(chemin);
}

} // namespace cc
