// libFuzzer target: SQLSERVER.DAT of any bytes. Reading it never fails, yields at most the two values,
// and the connection string built from them always holds exactly the attributes the program puts
// there, the server among them unchanged: a file can never add an attribute of its own.

#include "data/ConnexionBase.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void faute(const QString& texte) {
    std::fprintf(stderr, "%s\n", qPrintable(texte));
    std::abort();
}

// Splits an ODBC connection string: name=value;... where a value in braces may hold anything, its
// closing brace doubled.
// A string cut short (at a NUL) may end inside braces: the value then runs to its end.
QMap<QString, QString> attributs(const QString& chaine, bool coupee) {
    QMap<QString, QString> a;
    qsizetype i = 0;
    while (i < chaine.size()) {
        const qsizetype egal = chaine.indexOf(u'=', i);
        if (egal < 0)
            faute(u"attribute without a value: "_s + chaine);
        const QString nom = chaine.mid(i, egal - i).toUpper();
        QString valeur;
        i = egal + 1;
        if (i < chaine.size() && chaine[i] == u'{') {
            ++i;
            for (;;) {
                if (i >= chaine.size()) {
                    if (!coupee)
                        faute(u"unclosed brace: "_s + chaine);
                    break;
                }
                if (chaine[i] == u'}') {
                    if (i + 1 < chaine.size() && chaine[i + 1] == u'}') {
                        valeur += u'}';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                valeur += chaine[i++];
            }
            if (i < chaine.size() && chaine[i] != u';')
                faute(u"text after a closing brace: "_s + chaine);
        } else {
            const qsizetype fin = chaine.indexOf(u';', i);
            valeur = chaine.mid(i, (fin < 0 ? chaine.size() : fin) - i);
            i = fin < 0 ? chaine.size() : fin;
        }
        if (a.contains(nom))
            faute(u"attribute given twice: "_s + nom + u" in "_s + chaine);
        a.insert(nom, valeur);
        if (i < chaine.size())
            ++i; // the semicolon
    }
    return a;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* donnees, std::size_t taille) {
    static QTemporaryDir dossier;
    cc::Environnement env;
    env.RepertoireBase = dossier.path();
    env.RepertoireSociete = u"SOC1"_s;
    {
        QFile f(dossier.filePath(u"SQLSERVER.DAT"_s));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            f.write(reinterpret_cast<const char*>(donnees), qint64(taille)) != qint64(taille))
            faute(u"cannot write the file under test"_s);
    }
    if (cc::LireFichierSqlServer(env) != cc::TypeSource::SqlServer)
        faute(u"the file is there: the kind must be SQL Server"_s);

    const cc::ParametresOdbc p =
        cc::ParametresSqlServer(env, cc::CheminBaseSociete(env), {u"FreeTDS"_s}, cc::Systeme::Autre);
    // A NUL ends the string for the driver manager: what follows is lost, but nothing is added.
    const qsizetype nul = p.chaine.indexOf(QChar(0));
    const QMap<QString, QString> a = attributs(nul < 0 ? p.chaine : p.chaine.left(nul), nul >= 0);
    for (auto it = a.cbegin(); it != a.cend(); ++it)
        if (it.key() != u"DRIVER" && it.key() != u"SERVER" && it.key() != u"DATABASE")
            faute(u"unexpected attribute "_s + it.key() + u" in "_s + p.chaine);
    if (!p.chaine.contains(QChar(0)) && a.value(u"SERVER"_s) != env.ServeurSQL)
        faute(u"server changed: "_s + env.ServeurSQL + u" -> "_s + a.value(u"SERVER"_s));
    if (p.chaine.contains(u"MBRTQL"_s, Qt::CaseInsensitive) &&
        !env.ServeurSQL.contains(u"MBRTQL"_s, Qt::CaseInsensitive))
        faute(u"the password went into the connection string"_s);
    return 0;
}
