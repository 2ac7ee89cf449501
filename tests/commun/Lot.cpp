#include "Lot.h"
#include "commun/Horloge.h"
#include "data/ReglagesHote.h"

#include "ReglagesTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::StringLiterals;

namespace cc::test {

namespace {

QString nomProgramme() {
#ifdef Q_OS_WIN
    return u"controle-coherence.exe"_s;
#else
    return u"controle-coherence"_s;
#endif
}

// Only the accented letters that the messages hold: Latin-1 and Windows-1252 agree on them.
bool sansPlageDifferente(QStringView texte) {
    for (const QChar c : texte)
        if (c.unicode() > 0xFF || (c.unicode() >= 0x80 && c.unicode() < 0xA0))
            return false;
    return true;
}

// A file's bytes, nothing when it cannot be read.
QByteArray contenu(const QString& chemin) {
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

QStringList ResultatLot::lignesRapport() const {
    QStringList lignes;
    const QString texte = QString::fromLatin1(rapport);
    if (texte.isEmpty())
        return lignes;
    if (!texte.endsWith(u"\r\n"_s))
        return {u"<fin de ligne manquante>"_s};
    lignes = texte.chopped(2).split(u"\r\n"_s);
    for (const QString& l : lignes)
        if (l.contains(u'\n') || l.contains(u'\r'))
            return {u"<saut de ligne isolé>"_s};
    return lignes;
}

Lot::Lot(const QString& societe) : societe_(societe) {
    if (!dir_.isValid())
        qFatal("Lot: no temporary directory");
    // CC_GARDER keeps the company and the program's copy for a look after a failure.
    if (qEnvironmentVariableIsSet("CC_GARDER")) {
        dir_.setAutoRemove(false);
        qInfo("Lot: %s", qPrintable(dir_.path()));
    }
    QDir racine(dir_.path());
    racine.mkpath(u"programme"_s);
    racine.mkpath(u"config/"_s + OrganisationReglages());
    racine.mkpath(u"base/"_s + societe_);

    const QByteArray source = qgetenv("CC_EXECUTABLE");
    if (source.isEmpty())
        qFatal("Lot: CC_EXECUTABLE is not set (run the tests through CTest)");
    const QString copie = repertoireProgramme() + u'/' + nomProgramme();
    if (!QFile::copy(QString::fromLocal8Bit(source), copie))
        qFatal("Lot: cannot copy %s", source.constData());
    QFile(copie).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    {
        const auto reglages = reglagesHote(repertoireConfiguration());
        reglages->clear();
        reglages->setValue(CleRepertoireBase(), QDir::toNativeSeparators(dir_.path() + u"/base"_s));
        reglages->setValue(CleSocieteActive(), societe_);
        reglages->sync();
        if (reglages->status() != QSettings::NoError)
            qFatal("Lot: cannot write the settings");
    }
    base_ = std::make_unique<BaseTest>(cheminBase());
}

BaseTest& Lot::nouvelleBase() {
    base_.reset();
    base_ = std::make_unique<BaseTest>(cheminBase());
    return *base_;
}

bool Lot::supprimerBase() {
    base_.reset();
    return QFile::remove(cheminBase());
}

QString Lot::repertoireProgramme() const {
    return dir_.path() + u"/programme"_s;
}
QString Lot::cheminBase() const {
    return dir_.path() + u"/base/"_s + societe_ + u"/vendrax.mdb"_s;
}
QString Lot::repertoireConfiguration() const {
    return dir_.path() + u"/config"_s;
}

ResultatLot Lot::lancer(const QStringList& arguments, int delaiMs) {
    QDir programme(repertoireProgramme());
    for (const QString& f : programme.entryList({u"ResultatControl.*"_s}, QDir::Files))
        programme.remove(f);

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CONFIG_HOME"_s, repertoireConfiguration());
    env.insert(u"HOME"_s, dir_.path() + u"/maison"_s);
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    env.remove(u"CC_PARCOURS"_s);
    for (auto it = variables_.cbegin(); it != variables_.cend(); ++it)
        env.insert(it.key(), it.value());
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir_.path());

    ResultatLot r;
    r.avant = QDateTime::currentDateTime();
    p.start(programme.filePath(nomProgramme()), arguments);
    if (!p.waitForStarted(10000) || !p.waitForFinished(delaiMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.erreurs = u"<le programme n'a pas fini>"_s;
    } else {
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        r.sortie = QString::fromUtf8(p.readAllStandardOutput());
        r.erreurs = QString::fromUtf8(p.readAllStandardError());
    }
    r.apres = QDateTime::currentDateTime();

    const QStringList rapports = programme.entryList({u"ResultatControl.*.txt"_s}, QDir::Files);
    if (rapports.size() == 1) {
        r.cheminRapport = programme.filePath(rapports.first());
    } else if (rapports.size() > 1) {
        r.cheminRapport = u"<plusieurs rapports>"_s;
    } else {
        // A report named otherwise (the undo's) is the last line of standard output.
        const QString dernier = r.sortie.trimmed().section(u'\n', -1);
        if (!dernier.isEmpty() && QFileInfo(dernier).isFile())
            r.cheminRapport = dernier;
    }
    if (r.cheminRapport.endsWith(u".txt"_s)) {
        r.rapport = contenu(r.cheminRapport);
        r.constats = contenu(r.cheminRapport.chopped(4) + u".csv"_s);
    }
    if (base_) {
        r.factCli = base_->contenuFactCli();
        r.rangees = rangeesFactCli();
    }
    return r;
}

ResultatLot Lot::annuler(const QByteArray& constats) {
    const QString chemin = dir_.path() + u"/annulation.csv"_s;
    QFile f(chemin);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(constats) != constats.size())
        qFatal("Lot: cannot write %s", qPrintable(chemin));
    f.close();
    return lancer({u"--annuler"_s, chemin});
}

std::vector<RangeeFactCli> Lot::rangeesFactCli() const {
    QSqlQuery q(base_->base());
    // A table without rowid is read in the order of its key.
    const QString sql = u"SELECT NUM_FACTURE, NUM_DOSSIER, JOUR, NUM_DEVIS, DATE_MAJ, Montant FROM FACTCLI"_s;
    if (!q.exec(sql + u" ORDER BY rowid"_s) && !q.exec(sql))
        qFatal("Lot: %s", qPrintable(q.lastError().text()));
    std::vector<RangeeFactCli> rangees;
    while (q.next())
        rangees.push_back({q.value(0), q.value(1), q.value(2), q.value(3), q.value(4), q.value(5)});
    return rangees;
}

QStringList argumentsLot(const QString& du, const QString& au, bool aPartirDesFactures, bool ajouter,
                         bool mettreAJour) {
    QStringList a{u"--du"_s, du,          u"--au"_s,
                  au,        u"--sens"_s, aPartirDesFactures ? u"factures"_s : u"factcli"_s};
    // As in the window, the repair options mean nothing to the FACTCLI-driven check, which the
    // command line refuses them with.
    if (ajouter && aPartirDesFactures)
        a << u"--ajouter"_s;
    if (mettreAJour && aPartirDesFactures)
        a << u"--mettre-a-jour"_s;
    return a;
}

QByteArray octetsRapport(const QStringList& lignes) {
    QByteArray octets;
    for (const QString& l : lignes) {
        if (!sansPlageDifferente(l))
            qFatal("octetsRapport: a letter outside the common range of Latin-1 and Windows-1252");
        octets += l.toLatin1();
        octets += "\r\n";
    }
    return octets;
}

bool horodatageValide(const QString& texte, const QDateTime& avant, const QDateTime& apres) {
    static const QRegularExpression motif(u"^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d$"_s);
    if (!motif.match(texte).hasMatch())
        return false;
    const QDateTime t = QDateTime::fromString(texte, FormatDateMaj);
    if (!t.isValid())
        return false;
    const QDateTime debut(avant.date(), QTime(avant.time().hour(), avant.time().minute()));
    return t >= debut && t <= apres;
}

QString comparerFactCli(const QStringList& attendu, const QStringList& obtenu, const QDateTime& avant,
                        const QDateTime& apres) {
    if (attendu.size() != obtenu.size())
        return u"%1 rows expected, %2 found:\n  %3"_s.arg(attendu.size())
            .arg(obtenu.size())
            .arg(obtenu.join(u"\n  "_s));
    for (qsizetype i = 0; i < attendu.size(); ++i) {
        const QStringList a = attendu[i].split(u'|');
        const QStringList o = obtenu[i].split(u'|');
        bool egal = a.size() == o.size();
        for (qsizetype c = 0; egal && c < a.size(); ++c)
            egal = (c == 4 && a[c] == Horodatage) ? horodatageValide(o[c], avant, apres) : a[c] == o[c];
        if (!egal)
            return u"row %1: expected %2, found %3"_s.arg(i + 1).arg(attendu[i], obtenu[i]);
    }
    return {};
}

QString premiereDifference(const QStringList& attendu, const QStringList& obtenu) {
    for (qsizetype i = 0; i < std::max(attendu.size(), obtenu.size()); ++i) {
        const QString a = attendu.value(i, u"<none>"_s);
        const QString o = obtenu.value(i, u"<none>"_s);
        if (a != o)
            return u"line %1 of %2/%3\n  expected %4\n  found    %5"_s.arg(i + 1)
                .arg(attendu.size())
                .arg(obtenu.size())
                .arg(a, o);
    }
    return {};
}

} // namespace cc::test
