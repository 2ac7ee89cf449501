#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <stdexcept>

namespace cc::outils {

// A named QtSql connection of a tool's or a test's own, never the program's, open for the life of
// the object. A failure throws std::runtime_error with the driver's text.
class ConnexionOutil {
public:
    ConnexionOutil(const QString& pilote, const QString& base, const QString& options = {},
                   const QString& utilisateur = {}, const QString& motDePasse = {})
        : nom_(QStringLiteral("outil-%1").arg(++compteur_)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(pilote, nom_);
        db.setDatabaseName(base);
        db.setConnectOptions(options);
        if (!db.open(utilisateur, motDePasse))
            throw std::runtime_error(db.lastError().text().toStdString());
    }
    // A SQLite file opened read-only.
    static QString lectureSeule() { return QStringLiteral("QSQLITE_OPEN_READONLY"); }

    ~ConnexionOutil() {
        {
            QSqlDatabase db = QSqlDatabase::database(nom_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(nom_);
    }
    ConnexionOutil(const ConnexionOutil&) = delete;
    ConnexionOutil& operator=(const ConnexionOutil&) = delete;

    QSqlDatabase base() const { return QSqlDatabase::database(nom_, false); }

    // Prepares, binds in order and executes one statement, walked forward only.
    QSqlQuery executer(const QString& sql, const QVariantList& valeurs = {}) const {
        QSqlQuery q(base());
        q.setForwardOnly(true);
        if (!q.prepare(sql))
            throw std::runtime_error((sql + QStringLiteral(" : ") + q.lastError().text()).toStdString());
        for (qsizetype i = 0; i < valeurs.size(); ++i)
            q.bindValue(int(i), valeurs.at(i));
        if (!q.exec())
            throw std::runtime_error((sql + QStringLiteral(" : ") + q.lastError().text()).toStdString());
        return q;
    }

private:
    static inline int compteur_ = 0;
    QString nom_;
};

} // namespace cc::outils
