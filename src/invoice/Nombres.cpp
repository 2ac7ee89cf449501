#include "invoice/Nombres.h"

#include "commun/Erreur.h"
#include "commun/TexteChamp.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace cc {

namespace {

constexpr long long ExposantMax = 1'000'000'000; // far beyond any double; keeps the sums in range

bool chiffre(QChar c) {
    return c >= u'0' && c <= u'9';
}

[[noreturn]] void depassement() {
    throw Erreur(Erreur::Depassement, QStringLiteral("Dépassement de capacité"));
}

// A number in plain ASCII, "[-]digits[.digits][e[-]digits]", built from the text that was read.
struct Ascii {
    std::string texte;
    bool present = false; // at least one digit was read
};

// Walks a number at the start of the text. With espacesLibres, spaces are skipped anywhere (the
// reading of amounts); without, the number must fill the text (the "is it a number" test of the
// whole-number pattern), spaces being already trimmed off by the caller.
Ascii lireAscii(QStringView texte, bool espacesLibres, qsizetype* fin = nullptr) {
    Ascii a;
    qsizetype pos = 0;
    const qsizetype n = texte.size();
    const auto sauter = [&] {
        if (espacesLibres)
            while (pos < n && texte[pos] == u' ')
                ++pos;
    };
    sauter();
    if (pos < n && (texte[pos] == u'-' || texte[pos] == u'+')) {
        if (texte[pos] == u'-')
            a.texte.push_back('-');
        ++pos;
        sauter();
    }
    bool point = false;
    for (; pos < n; sauter()) {
        const QChar c = texte[pos];
        if (chiffre(c)) {
            a.texte.push_back(char(c.unicode()));
            a.present = true;
        } else if (c == u'.' && !point) {
            a.texte.push_back('.');
            point = true;
        } else {
            break;
        }
        ++pos;
    }
    if (a.present && pos < n && (texte[pos] == u'E' || texte[pos] == u'e')) {
        // Only taken when digits follow: "1E" and "1E+" read as 1.
        qsizetype p = pos + 1;
        const auto sauterP = [&] {
            if (espacesLibres)
                while (p < n && texte[p] == u' ')
                    ++p;
        };
        sauterP();
        std::string exposant = "e";
        if (p < n && (texte[p] == u'-' || texte[p] == u'+')) {
            if (texte[p] == u'-')
                exposant.push_back('-');
            ++p;
            sauterP();
        }
        bool chiffres = false;
        while (p < n && chiffre(texte[p])) {
            exposant.push_back(char(texte[p].unicode()));
            chiffres = true;
            ++p;
            sauterP();
        }
        if (chiffres) {
            a.texte += exposant;
            pos = p;
        }
    }
    if (fin)
        *fin = pos;
    return a;
}

// A decimal number as 0.D × 10^P with D free of leading zeros (empty for zero), and its sign.
struct Decimal {
    bool negatif = false;
    std::string chiffres;
    long long point = 0;
};

Decimal decomposer(std::string_view s) {
    Decimal d;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        d.negatif = s[i] == '-';
        ++i;
    }
    long long entiers = 0;
    bool apresPoint = false;
    for (; i < s.size() && s[i] != 'e' && s[i] != 'E'; ++i) {
        if (s[i] == '.') {
            apresPoint = true;
            continue;
        }
        if (d.chiffres.empty() && s[i] == '0') {
            // A leading zero moves the point only when it stands after it.
            if (apresPoint)
                --entiers;
            continue;
        }
        d.chiffres.push_back(s[i]);
        if (!apresPoint)
            ++entiers;
    }
    long long exposant = 0;
    if (i < s.size()) {
        ++i;
        bool moins = false;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
            moins = s[i] == '-';
            ++i;
        }
        for (; i < s.size(); ++i)
            if (exposant < ExposantMax)
                exposant = exposant * 10 + (s[i] - '0');
        if (moins)
            exposant = -exposant;
    }
    while (!d.chiffres.empty() && d.chiffres.back() == '0')
        d.chiffres.pop_back();
    d.point = d.chiffres.empty() ? 0 : entiers + exposant;
    return d;
}

// Rounds half away from zero to the given decimals. Returns the digits of the rounded value times
// 10^decimales, without leading zeros ("" for zero).
std::string arrondir(const Decimal& d, int decimales) {
    const long long garder = d.point + decimales;
    if (d.chiffres.empty() || garder < 0)
        return {};
    std::string r = d.chiffres.substr(0, std::size_t(std::min<long long>(garder, d.chiffres.size())));
    r.resize(std::size_t(garder), '0');
    const char suivant =
        garder < static_cast<long long>(d.chiffres.size()) ? d.chiffres[std::size_t(garder)] : '0';
    if (suivant >= '5') {
        auto it = r.rbegin();
        for (; it != r.rend() && *it == '9'; ++it)
            *it = '0';
        if (it == r.rend())
            r.insert(r.begin(), '1');
        else
            ++*it;
    }
    const auto premier = r.find_first_not_of('0');
    return premier == std::string::npos ? std::string() : r.substr(premier);
}

QString ecrire(bool negatif, const std::string& r, int decimales) {
    if (r.empty()) {
        // Built as a QString: GCC 12 sees a false overlap in the std::string form at -O3 and under ASan.
        QString zero(1, u'0');
        if (decimales > 0)
            zero += u'.' + QString(decimales, u'0');
        return zero;
    }
    std::string s;
    if (negatif)
        s.push_back('-');
    const std::size_t d = std::size_t(decimales);
    if (r.size() > d)
        s.append(r, 0, r.size() - d);
    else
        s.push_back('0');
    if (d > 0) {
        s.push_back('.');
        if (r.size() < d)
            s.append(d - r.size(), '0');
        s.append(r.size() > d ? r.substr(r.size() - d) : r);
    }
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

// The double of an ASCII number; nullopt-like false when it is too large for a double.
bool versDouble(const std::string& s, double& valeur) {
    if (s.empty() || s == "-") {
        valeur = 0;
        return true;
    }
    const char* debut = s.data();
    const char* fin = s.data() + s.size();
    const auto [p, ec] = std::from_chars(debut, fin, valeur);
    if (ec == std::errc())
        return true;
    if (ec != std::errc::result_out_of_range)
        return false;
    // Out of range either way: a number whose first digit stands left of the point overflows, any
    // other underflows to zero.
    const Decimal d = decomposer(s);
    if (d.point > 0)
        return false;
    valeur = 0;
    return true;
}

} // namespace

double LireNombre(QStringView texte) {
    // Most cells of a record are empty: no need to walk them.
    if (texte.isEmpty())
        return 0;
    const Ascii a = lireAscii(texte, true);
    if (!a.present)
        return 0;
    double valeur = 0;
    if (!versDouble(a.texte, valeur))
        depassement();
    return valeur;
}

QString FormatEntier(QStringView texte) {
    const QStringView nombre = VueSansBlancs(texte);
    qsizetype lu = 0;
    const Ascii a = lireAscii(nombre, false, &lu);
    double valeur = 0;
    // Not a number, or one no double can hold: the text stays as it is.
    if (!a.present || lu != nombre.size() || !versDouble(a.texte, valeur))
        return texte.toString();
    const Decimal d = decomposer(a.texte);
    const std::string r = arrondir(d, 0);
    return r.empty() ? QString() : ecrire(d.negatif, r, 0);
}

QString FormatDecimales(double valeur, int decimales) {
    if (!std::isfinite(valeur))
        depassement();
    // The shortest text that reads back to the same double: the number as it was written.
    std::array<char, 64> tampon{};
    const auto [fin, ec] =
        std::to_chars(tampon.data(), tampon.data() + tampon.size(), valeur, std::chars_format::scientific);
    if (ec != std::errc())
        depassement();
    const Decimal d = decomposer(std::string_view(tampon.data(), std::size_t(fin - tampon.data())));
    return ecrire(d.negatif, arrondir(d, decimales), decimales);
}

} // namespace cc
