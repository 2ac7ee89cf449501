// libFuzzer target: the slicing of Corps into invoice lines and the number reading, on any text.
// The first byte picks the invoice's own dossier and how the rest is decoded; the rest is the text.

#include "VerificationCorps.h"

#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* donnees, std::size_t taille) {
    if (taille == 0)
        return 0;
    const auto* debut = reinterpret_cast<const char*>(donnees + 1);
    const auto longueur = qsizetype(taille - 1);
    // UTF-8 as SQLite gives it, or one byte a character as a Latin-1 field gives it.
    const QString texte =
        (donnees[0] & 1) ? QString::fromLatin1(debut, longueur) : QString::fromUtf8(debut, longueur);
    const QString dossier = (donnees[0] & 2) ? u"D1"_s : QString();

    QString erreur = cc::test::verifierCorps(texte, dossier);
    // Short texts also go through the number reading and the whole-number pattern.
    if (erreur.isEmpty() && texte.size() <= 64)
        erreur = cc::test::verifierNombre(texte);
    if (!erreur.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(erreur));
        std::abort();
    }
    return 0;
}
