// libFuzzer target: the batch entry's arguments, NUL-separated UTF-8. Parsing never fails other than
// by a usage error, and a run it accepts always has a first and a last day that are real days, the
// ones given last on the line, and the first is not after the last.

#include "app/OptionsLot.h"

#include <QDate>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void faute(const QString& texte) {
    std::fprintf(stderr, "%s\n", qPrintable(texte));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* donnees, std::size_t taille) {
    const QByteArray octets(reinterpret_cast<const char*>(donnees), qsizetype(taille));
    QStringList arguments;
    for (const QByteArray& a : octets.split('\0'))
        arguments << QString::fromUtf8(a);
    const QDate aujourdhui(2025, 6, 15);
    const auto resultat = cc::AnalyserArguments(arguments, aujourdhui);
    if (const auto* e = std::get_if<cc::ErreurUsage>(&resultat)) {
        if (e->message.isEmpty())
            faute(u"a usage error without a message"_s);
        return 0;
    }
    const cc::ArgumentsLot& lot = std::get<cc::ArgumentsLot>(resultat);
    if (lot.aide || lot.version || !lot.annuler.isEmpty())
        return 0;
    if (!lot.options.debut.isValid() || !lot.options.fin.isValid())
        faute(u"a run accepted without two real days"_s);
    // Values follow their option or its "="; "--" ends the options.
    QDate du, au = aujourdhui;
    for (qsizetype i = 0; i < arguments.size() && arguments[i] != u"--"; ++i) {
        for (const QString& nom : {u"du"_s, u"au"_s, u"sens"_s, u"rapports"_s, u"annuler"_s}) {
            QString valeur;
            if (arguments[i] == u"--"_s + nom && i + 1 < arguments.size())
                valeur = arguments[++i];
            else if (arguments[i].startsWith(u"--"_s + nom + u'='))
                valeur = arguments[i].mid(nom.size() + 3);
            else
                continue;
            if (nom == u"du")
                du = QDate::fromString(valeur, u"yyyy-MM-dd"_s);
            else if (nom == u"au")
                au = QDate::fromString(valeur, u"yyyy-MM-dd"_s);
            break;
        }
    }
    if (lot.options.debut > lot.options.fin)
        faute(u"an inverted period accepted"_s);
    if (du != lot.options.debut || au != lot.options.fin)
        faute(u"days read %1 %2, given %3 %4"_s.arg(lot.options.debut.toString(Qt::ISODate),
                                                    lot.options.fin.toString(Qt::ISODate),
                                                    du.toString(Qt::ISODate), au.toString(Qt::ISODate)));
    return 0;
}
