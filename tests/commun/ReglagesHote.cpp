#include "ReglagesHote.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace cc::test {

namespace {

const QString kDossier = QStringLiteral("VB and VBA Program Settings");
const QString kCle = QStringLiteral("VENDRAX9");

void ecrireFichier(const QString& chemin, const QByteArray& octets) {
    QFile f(chemin);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(octets) != octets.size())
        qFatal("ReglagesHote: cannot write %s", qPrintable(chemin));
}

} // namespace

std::unique_ptr<QSettings> reglagesHote(const QString& configuration) {
#ifdef Q_OS_WIN
    Q_UNUSED(configuration);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, kDossier, kCle);
#else
    // Written with QSettings so that its escaping of the accented section names is the one the program
    // reads.
    QDir().mkpath(configuration + u'/' + kDossier);
    return std::make_unique<QSettings>(
        configuration + u'/' + kDossier + u'/' + kCle + QStringLiteral(".conf"), QSettings::IniFormat);
#endif
}

void remplacerReglagesHote(const QString& configuration, const QByteArray& ini) {
#ifdef Q_OS_WIN
    auto registre = reglagesHote(configuration);
    registre->clear();
    if (!ini.isNull()) {
        QTemporaryDir d;
        const QString chemin = d.filePath(QStringLiteral("reglages.ini"));
        ecrireFichier(chemin, ini);
        const QSettings texte(chemin, QSettings::IniFormat);
        for (const QString& cle : texte.allKeys())
            registre->setValue(cle, texte.value(cle));
    }
    registre->sync();
    if (registre->status() != QSettings::NoError)
        qFatal("ReglagesHote: cannot write the registry");
#else
    const QString dossier = configuration + u'/' + kDossier;
    const QString chemin = dossier + u'/' + kCle + QStringLiteral(".conf");
    QFile::remove(chemin);
    if (ini.isNull())
        return;
    QDir().mkpath(dossier);
    ecrireFichier(chemin, ini);
#endif
}

} // namespace cc::test
