#include "ReglagesTest.h"

#include "data/ReglagesHote.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace cc::test {

namespace {

void ecrireFichier(const QString& chemin, const QByteArray& octets) {
    QFile f(chemin);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(octets) != octets.size())
        qFatal("ReglagesTest: cannot write %s", qPrintable(chemin));
}

} // namespace

std::unique_ptr<QSettings> reglagesHote(const QString& configuration) {
#ifdef Q_OS_WIN
    Q_UNUSED(configuration);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, OrganisationReglages(),
                                       ApplicationReglages());
#else
    // Written with QSettings so that its escaping of the accented section names is the one the program
    // reads.
    QDir().mkpath(configuration + u'/' + OrganisationReglages());
    return std::make_unique<QSettings>(FichierReglages(configuration), QSettings::IniFormat);
#endif
}

void remplacerReglagesHote(const QString& configuration, const QByteArray& ini) {
#ifdef Q_OS_WIN
    auto registre = reglagesHote(configuration);
    registre->clear();
    if (!ini.isNull()) {
        QTemporaryDir d;
        const QString chemin = d.filePath(u"reglages.ini"_s);
        ecrireFichier(chemin, ini);
        const QSettings texte(chemin, QSettings::IniFormat);
        for (const QString& cle : texte.allKeys())
            registre->setValue(cle, texte.value(cle));
    }
    registre->sync();
    if (registre->status() != QSettings::NoError)
        qFatal("ReglagesTest: cannot write the registry");
#else
    const QString dossier = configuration + u'/' + OrganisationReglages();
    const QString chemin = FichierReglages(configuration);
    QFile::remove(chemin);
    if (ini.isNull())
        return;
    QDir().mkpath(dossier);
    ecrireFichier(chemin, ini);
#endif
}

} // namespace cc::test
