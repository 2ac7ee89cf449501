#include "data/Connexion.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace cc {

namespace {

int numeroErreur(const QSqlError& e) {
    bool ok = false;
    const int natif = e.nativeErrorCode().toInt(&ok);
    if (ok && natif != 0)
        return natif;
    switch (e.type()) {
    case QSqlError::ConnectionError:
        return Erreur::ConnexionImpossible;
    case QSqlError::TransactionError:
        return Erreur::TransactionRefusee;
    default:
        return Erreur::RequeteRefusee;
    }
}

// SQLite says SQLITE_READONLY (8, or an extended code of it); through ODBC, SQLSTATE 25006 (a
// read-only transaction) or the server's own sentence (SQL Server, Jet: "…database… read-only").
bool baseEnLectureSeule(const QSqlError& e) {
    bool ok = false;
    const int natif = e.nativeErrorCode().toInt(&ok);
    const QString texte = e.databaseText();
    if (ok && (natif & 0xff) == 8 && texte.contains(u"readonly", Qt::CaseInsensitive))
        return true;
    if (e.nativeErrorCode().split(u';').contains(u"25006"))
        return true;
    return texte.contains(u"read-only", Qt::CaseInsensitive) &&
           texte.contains(u"database", Qt::CaseInsensitive);
}

} // namespace

QString DescriptionBaseEnLectureSeule() {
    return QStringLiteral("La base de données est en lecture seule : le contrôle ne peut ni ajouter ni "
                          "réécrire de ligne dans FACTCLI.");
}

[[noreturn]] void LeverErreurSql(const QSqlError& erreur, const QString& contexte,
                                 const QString& instruction) {
    QString description = erreur.databaseText().trimmed();
    const QString pilote = erreur.driverText().trimmed();
    if (description.isEmpty())
        description = pilote;
    else if (!pilote.isEmpty() && !description.contains(pilote))
        description = pilote + QStringLiteral(" : ") + description;
    if (description.isEmpty())
        description = QStringLiteral("Erreur inconnue de la base de données");
    if (!contexte.isEmpty())
        description += QStringLiteral(" (") + contexte + QStringLiteral(")");
    QString details = instruction.isEmpty() ? QString() : QStringLiteral("Instruction : ") + instruction;
    if (baseEnLectureSeule(erreur)) {
        details = QStringLiteral("Erreur %1 : %2").arg(erreur.nativeErrorCode(), description) +
                  (details.isEmpty() ? QString() : QStringLiteral("\n") + details);
        throw Erreur(Erreur::BaseEnLectureSeule, DescriptionBaseEnLectureSeule()).avecDetails(details);
    }
    throw Erreur(numeroErreur(erreur), description).avecDetails(details);
}

Connexion::Connexion(const QString& nomConnexion, Dialecte dialecte)
    : nom_(nomConnexion), dialecte_(dialecte), pieces_(&PiecesDe(dialecte)) {}

void Connexion::definirDialecte(Dialecte dialecte) {
    dialecte_ = dialecte;
    pieces_ = &PiecesDe(dialecte);
}

Connexion::~Connexion() {
    {
        QSqlDatabase db = QSqlDatabase::database(nom_, false);
        if (db.isOpen()) {
            if (enTransaction_)
                db.rollback();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(nom_);
}

QString Connexion::nouveauNom() {
    static QAtomicInteger<quint64> compteur;
    return QStringLiteral("cc-connexion-%1").arg(compteur.fetchAndAddRelaxed(1) + 1);
}

QSqlDatabase Connexion::base() const {
    return QSqlDatabase::database(nom_, false);
}

std::unique_ptr<Connexion> Connexion::ouvrirSQLite(const QString& chemin, int delaiOccupeMs) {
    const QString nom = nouveauNom();
    auto connexion = std::make_unique<Connexion>(nom, Dialecte::SQLite);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nom);
    // A file: URI with mode=rw opens an existing file and never creates an empty database.
    QUrl url = QUrl::fromLocalFile(QFileInfo(chemin).absoluteFilePath());
    url.setQuery(QStringLiteral("mode=rw"));
    db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(delaiOccupeMs));
    if (!db.open())
        LeverErreurSql(db.lastError(), QDir::toNativeSeparators(chemin));
    // Opening is lazy in SQLite: read the schema now so that a file that is no database fails here.
    QSqlQuery essai(db);
    if (!essai.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        LeverErreurSql(essai.lastError(), QDir::toNativeSeparators(chemin));
    return connexion;
}

std::unique_ptr<Connexion> Connexion::ouvrirOdbc(const QString& chaine, const QString& utilisateur,
                                                 const QString& motDePasse, Dialecte dialecte,
                                                 int delaiConnexionS) {
    const QString nom = nouveauNom();
    auto connexion = std::make_unique<Connexion>(nom, dialecte);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), nom);
    db.setDatabaseName(chaine);
    QString options = QStringLiteral("SQL_ATTR_ODBC_VERSION=SQL_OV_ODBC3");
    if (delaiConnexionS > 0)
        options +=
            QStringLiteral(";SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1").arg(delaiConnexionS);
    db.setConnectOptions(options);
    if (!db.open(utilisateur, motDePasse))
        LeverErreurSql(db.lastError(), QString());
    connexion->definirDialecte(DialecteServeur(db, dialecte));
    return connexion;
}

void Connexion::commencerTransaction() {
    if (enTransaction_)
        return;
    QSqlDatabase db = base();
    if (pieces_->verrouAuDebut) {
        // The write lock is taken now, while no read is open, so that another writer is waited for
        // (busy time-out). A group begun as a read could not wait: its first write would fail at once.
        QSqlQuery debut(db);
        if (!debut.exec(QStringLiteral("BEGIN IMMEDIATE")))
            LeverErreurSql(debut.lastError(), QStringLiteral("début de transaction"));
    } else if (!db.transaction()) {
        LeverErreurSql(db.lastError(), QStringLiteral("début de transaction"));
    }
    ++instructions_;
    enTransaction_ = true;
}

void Connexion::validerTransaction() {
    if (!enTransaction_)
        return;
    QSqlDatabase db = base();
    ++instructions_;
    // A commit that fails leaves the transaction open: the caller may try again or roll it back.
    if (!db.commit())
        LeverErreurSql(db.lastError(), QStringLiteral("validation de transaction"));
    enTransaction_ = false;
}

void Connexion::annulerTransaction() noexcept {
    if (!enTransaction_)
        return;
    enTransaction_ = false;
    ++instructions_;
    base().rollback();
}

Requete::Requete(Connexion& connexion, const QString& sql)
    : connexion_(&connexion), requete_(connexion.base()), sql_(sql) {
    if (connexion.releve_ && !connexion.releve_->contains(sql_))
        connexion.releve_->append(sql_);
    if (!connexion.envoyer_)
        return;
    // Forward only: on ODBC a scrollable cursor costs a round trip per row.
    requete_.setForwardOnly(true);
    if (!requete_.prepare(sql_))
        LeverErreurSql(requete_.lastError(), {}, sql_);
    if (connexion.pieces().odbc && connexion.delaiRequete() > 0) {
        // Qt has no option for the statement time-out: set it on the ODBC handle itself.
        const QVariant h = requete_.result()->handle();
        if (h.isValid() && h.metaType().sizeOf() == int(sizeof(SQLHANDLE))) {
            SQLHANDLE stmt = *static_cast<SQLHANDLE const*>(h.data());
            if (stmt)
                SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT,
                               reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(connexion.delaiRequete())),
                               0);
        }
    }
}

Requete& Requete::executer(const QVariantList& valeurs) {
    if (!connexion_->envoyer_)
        return *this;
    for (int i = 0; i < valeurs.size(); ++i)
        requete_.bindValue(i, valeurs.at(i));
    ++connexion_->instructions_;
    if (!requete_.exec())
        LeverErreurSql(requete_.lastError(), {}, sql_);
    return *this;
}

bool Requete::suivant() {
    if (!requete_.isActive() || !requete_.isSelect())
        return false;
    if (requete_.next()) {
        ++connexion_->lignes_;
        return true;
    }
    if (requete_.lastError().isValid())
        LeverErreurSql(requete_.lastError(), {}, sql_);
    return false;
}

int Requete::indexChamp(const QString& champ) const {
    for (const auto& [nom, position] : index_)
        if (nom == champ)
            return position;
    const int index = requete_.record().indexOf(champ);
    if (index < 0)
        throw Erreur(Erreur::ChampIntrouvable,
                     QStringLiteral("Élément introuvable dans la collection : %1").arg(champ));
    index_.emplace_back(champ, index);
    return index;
}

QVariant Requete::valeur(const QString& champ) const {
    return requete_.value(indexChamp(champ));
}

QVariant Requete::valeur(int index) const {
    return requete_.value(index);
}

int Requete::lignesTouchees() const {
    return requete_.numRowsAffected();
}

void Requete::terminer() {
    requete_.finish();
}

} // namespace cc
