#include "SocieteDemo.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace cc::test {

SocieteDemo::SocieteDemo(const QStringList& argumentsGenerateur) {
    QProcess g;
    g.start(qEnvironmentVariable("CC_GENERATEUR"),
            QStringList{u"--sortie"_s, dir_.path()} + argumentsGenerateur);
    if (!g.waitForFinished(120000) || g.exitStatus() != QProcess::NormalExit || g.exitCode() != 0)
        qFatal("SocieteDemo: the generator failed: %s", g.readAllStandardError().constData());
    QDir(dir_.path()).mkpath(u"programme"_s);
    if (!QFile::copy(qEnvironmentVariable("CC_EXECUTABLE"), programme()))
        qFatal("SocieteDemo: cannot copy the program");
    QFile(programme())
        .setPermissions(QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                        QFile::ReadOther | QFile::ExeOther);
    if (!QFile::copy(base(), vierge_()))
        qFatal("SocieteDemo: cannot keep the generated database");
}

QString SocieteDemo::repertoireProgramme() const {
    return dir_.filePath(u"programme"_s);
}

QString SocieteDemo::programme() const {
    return repertoireProgramme() + u"/controle-coherence"_s;
}

QString SocieteDemo::maison() const {
    return dir_.filePath(u"maison"_s);
}

QString SocieteDemo::base() const {
    return dir_.filePath(u"base/SOCDEMO/vendrax.mdb"_s);
}

void SocieteDemo::vierge() const {
    for (const QString& s : {QString(), u"-journal"_s, u"-wal"_s, u"-shm"_s})
        QFile::remove(base() + s);
    if (!QFile::copy(vierge_(), base()))
        qFatal("SocieteDemo: cannot restore the database");
    QFile(base()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

void SocieteDemo::effacerRapports() const {
    QDir p(repertoireProgramme());
    for (const QString& f : p.entryList({u"ResultatControl.*"_s}, QDir::Files))
        p.remove(f);
}

void SocieteDemo::demarrer(QProcess& p, const QStringList& arguments, std::function<void()> avantExec) const {
    effacerRapports();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CONFIG_HOME"_s, dir_.filePath(u"config"_s));
    // A home of its own, whose documents folder receives the reports a protected program cannot keep.
    env.insert(u"HOME"_s, maison());
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir_.path());
    if (avantExec)
        p.setChildProcessModifier(std::move(avantExec));
    p.start(programme(), arguments);
    if (!p.waitForStarted(10000))
        qFatal("SocieteDemo: the program does not start");
}

Sortie SocieteDemo::attendre(QProcess& p, int delaiMs) const {
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
    const QStringList rapports = d.entryList({u"ResultatControl.*.txt"_s}, QDir::Files);
    s.rapports = int(rapports.size());
    if (rapports.size() == 1) {
        QFile f(d.filePath(rapports.first()));
        if (f.open(QIODevice::ReadOnly))
            s.rapport = f.readAll();
    }
    return s;
}

Sortie SocieteDemo::lancer(const QStringList& arguments, std::function<void()> avantExec) const {
    QProcess p;
    demarrer(p, arguments, std::move(avantExec));
    return attendre(p);
}

QString SocieteDemo::vierge_() const {
    return dir_.filePath(u"vierge.mdb"_s);
}

QStringList GenerateurAnnee2025(int factures, int graine) {
    return {u"--factures"_s,
            QString::number(factures),
            u"--graine"_s,
            QString::number(graine),
            u"--taux-anomalies"_s,
            u"15"_s,
            u"--debut"_s,
            u"2025-01-01"_s,
            u"--fin"_s,
            u"2025-12-31"_s};
}

QStringList ArgumentsReparation() {
    return {u"--du"_s,   u"2025-01-01"_s, u"--au"_s,      u"2025-12-31"_s,
            u"--sens"_s, u"factures"_s,   u"--ajouter"_s, u"--mettre-a-jour"_s};
}

QStringList ArgumentsFactCli() {
    return {u"--du"_s, u"2025-01-01"_s, u"--au"_s, u"2025-12-31"_s, u"--sens"_s, u"factcli"_s};
}

QStringList interroger(const QString& chemin, const QString& sql, QString* erreur, bool lectureSeule) {
    static int compteur = 0;
    const QString nom = u"interroger-%1"_s.arg(++compteur);
    QStringList rangees;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, nom);
        db.setDatabaseName(chemin);
        if (lectureSeule)
            db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        QSqlQuery q(db);
        if (!db.open() || !q.exec(sql)) {
            if (erreur)
                *erreur = db.isOpen() ? q.lastError().text() : db.lastError().text();
        } else {
            const int n = q.record().count();
            while (q.next()) {
                QStringList champs;
                for (int i = 0; i < n; ++i)
                    champs << (q.isNull(i) ? u"<null>"_s : q.value(i).toString());
                rangees << champs.join(u'|');
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(nom);
    return rangees;
}

QStringList factCliSansHorodatage(const QString& chemin) {
    QStringList r = interroger(chemin, u"SELECT rowid, NUM_FACTURE, NUM_DOSSIER, JOUR, NUM_DEVIS, "
                                       "DATE_MAJ IS NULL, typeof(Montant), Montant "
                                       "FROM FACTCLI ORDER BY rowid"_s);
    return r;
}

QString integrite(const QString& base) {
    QString erreur;
    const QStringList r = interroger(base, u"PRAGMA integrity_check"_s, &erreur, false);
    return erreur.isEmpty() ? r.join(u';') : erreur;
}

QString rangeesEntieres(const QStringList& obtenu, const QStringList& avant, const QStringList& apres) {
    if (obtenu.size() < avant.size() || obtenu.size() > apres.size())
        return u"%1 rows, between %2 and %3 expected"_s.arg(obtenu.size())
            .arg(avant.size())
            .arg(apres.size());
    for (qsizetype i = 0; i < obtenu.size(); ++i)
        if (obtenu[i] != apres[i] && (i >= avant.size() || obtenu[i] != avant[i]))
            return u"row %1 is neither the old one nor the repaired one: %2"_s.arg(i + 1).arg(obtenu[i]);
    return {};
}

} // namespace cc::test
