#pragma once

// A demo company made by the generator, with a copy of the program beside it, and the means to run
// the program on it under conditions of the test's choosing (a signal at a given moment, a limit, a
// capability taken away).

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

namespace cc::test {

struct Sortie {
    int code = -1; // -2: ended by a signal, -3: did not end in time
    QString sortie;
    QString erreurs;
    QByteArray rapport; // the one report of the run, empty when none
    int rapports = 0;   // how many reports lie beside the program
};

class SocieteDemo {
public:
    // Generates the company once; vierge() puts its database back as generated.
    explicit SocieteDemo(const QStringList& argumentsGenerateur) {
        QProcess g;
        g.start(qEnvironmentVariable("CC_GENERATEUR"),
                QStringList{QStringLiteral("--sortie"), dir_.path()} + argumentsGenerateur);
        if (!g.waitForFinished(120000) || g.exitStatus() != QProcess::NormalExit || g.exitCode() != 0)
            qFatal("SocieteDemo: the generator failed: %s", g.readAllStandardError().constData());
        QDir(dir_.path()).mkpath(QStringLiteral("programme"));
        if (!QFile::copy(qEnvironmentVariable("CC_EXECUTABLE"), programme()))
            qFatal("SocieteDemo: cannot copy the program");
        QFile(programme())
            .setPermissions(QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                            QFile::ReadOther | QFile::ExeOther);
        if (!QFile::copy(base(), vierge_()))
            qFatal("SocieteDemo: cannot keep the generated database");
    }

    QString racine() const { return dir_.path(); }
    QString repertoireProgramme() const { return dir_.filePath(QStringLiteral("programme")); }
    QString programme() const { return repertoireProgramme() + QStringLiteral("/controle-coherence"); }
    QString base() const { return dir_.filePath(QStringLiteral("base/SOCDEMO/vendrax.mdb")); }

    // Puts the generated database back, without any journal left by a killed run.
    void vierge() const {
        for (const QString& s :
             {QString(), QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(base() + s);
        if (!QFile::copy(vierge_(), base()))
            qFatal("SocieteDemo: cannot restore the database");
        QFile(base()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }

    void effacerRapports() const {
        QDir p(repertoireProgramme());
        for (const QString& f : p.entryList({QStringLiteral("ResultatControl.*")}, QDir::Files))
            p.remove(f);
    }

    // Starts the program; the caller waits for it or ends it.
    void demarrer(QProcess& p, const QStringList& arguments, std::function<void()> avantExec = {}) const {
        effacerRapports();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir_.path());
        if (avantExec)
            p.setChildProcessModifier(std::move(avantExec));
        p.start(programme(), arguments);
        if (!p.waitForStarted(10000))
            qFatal("SocieteDemo: the program does not start");
    }

    Sortie attendre(QProcess& p, int delaiMs = 120000) const {
        Sortie s;
        if (p.state() != QProcess::NotRunning && !p.waitForFinished(delaiMs)) {
            p.kill();
            p.waitForFinished(5000);
            s.code = -3;
        } else {
            s.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        }
        s.sortie = QString::fromUtf8(p.readAllStandardOutput());
        s.erreurs = QString::fromUtf8(p.readAllStandardError());
        const QDir d(repertoireProgramme());
        const QStringList rapports = d.entryList({QStringLiteral("ResultatControl.*")}, QDir::Files);
        s.rapports = int(rapports.size());
        if (rapports.size() == 1) {
            QFile f(d.filePath(rapports.first()));
            if (f.open(QIODevice::ReadOnly))
                s.rapport = f.readAll();
        }
        return s;
    }

    Sortie lancer(const QStringList& arguments, std::function<void()> avantExec = {}) const {
        QProcess p;
        demarrer(p, arguments, std::move(avantExec));
        return attendre(p);
    }

private:
    QString vierge_() const { return dir_.filePath(QStringLiteral("vierge.mdb")); }
    QTemporaryDir dir_;
};

// Runs one query on a database file through a connection of its own; each row's columns joined by "|".
inline QStringList interroger(const QString& chemin, const QString& sql, QString* erreur = nullptr,
                              bool lectureSeule = true) {
    static int compteur = 0;
    const QString nom = QStringLiteral("interroger-%1").arg(++compteur);
    QStringList rangees;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nom);
        db.setDatabaseName(chemin);
        if (lectureSeule)
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QSqlQuery q(db);
        if (!db.open() || !q.exec(sql)) {
            if (erreur)
                *erreur = db.isOpen() ? q.lastError().text() : db.lastError().text();
        } else {
            const int n = q.record().count();
            while (q.next()) {
                QStringList champs;
                for (int i = 0; i < n; ++i)
                    champs << (q.isNull(i) ? QStringLiteral("<null>") : q.value(i).toString());
                rangees << champs.join(u'|');
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(nom);
    return rangees;
}

// FACTCLI in rowid order; a DATE_MAJ is shown as present or Null only, since runs stamp it from the clock.
inline QStringList factCliSansHorodatage(const QString& chemin) {
    QStringList r =
        interroger(chemin, QStringLiteral("SELECT rowid, NUM_FACTURE, NUM_DOSSIER, JOUR, NUM_DEVIS, "
                                          "DATE_MAJ IS NULL, typeof(Montant), Montant "
                                          "FROM FACTCLI ORDER BY rowid"));
    return r;
}

} // namespace cc::test
