#include "commun/Windows1252.h"

#include <QList>
#include <array>

namespace cc {

namespace {

// Bytes 0x80 to 0x9F; every other byte is the Latin-1 character of the same value.
constexpr std::array<char16_t, 32> Plage80{0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char octet(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < Plage80.size(); ++i) {
        if (Plage80[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

QByteArray EncoderWindows1252(QStringView texte) {
    QByteArray octets;
    octets.reserve(texte.size());
    // Walk by code point, so that a character outside the BMP gives one "?", not two.
    for (const char32_t c : texte.toUcs4())
        octets.append(octet(c));
    return octets;
}

QString DecoderWindows1252(QByteArrayView octets) {
    QString texte;
    texte.reserve(octets.size());
    for (const char o : octets) {
        const auto b = static_cast<unsigned char>(o);
        texte.append(b >= 0x80 && b < 0xA0 ? QChar(Plage80[b - 0x80]) : QChar(char16_t(b)));
    }
    return texte;
}

} // namespace cc
