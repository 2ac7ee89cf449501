#pragma once

#include <QString>
#include <QStringView>
#include <QVariant>

namespace cc {

// A field's value as text: empty for Null; numbers with "." as the decimal point in the shortest text
// that reads back to the same value, dates in ISO form; trailing spaces removed, leading ones kept.
QString TexteChamp(const QVariant& valeur);
// The same text with every blank kept, as a list of numbers read from a table holds it.
QString TexteValeur(const QVariant& valeur);

// Only space characters count as blanks, at both ends.
QString SupprimerBlancs(QStringView texte);
// The same, as a view into the text (nothing allocated).
QStringView VueSansBlancs(QStringView texte);
// Only trailing space characters are removed.
QString SupprimerBlancsFin(QStringView texte);
// A message's Windows line ends (CR LF, as the host writes its texts) as line feeds alone, for a box or
// a terminal.
inline QString FinsDeLigneSimples(QString texte) {
    return texte.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
// A double in the shortest plain decimal text that reads back to the same value, "." as the point.
QString TexteNombre(double valeur);

} // namespace cc
