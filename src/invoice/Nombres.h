#pragma once

#include <QString>
#include <QStringView>

namespace cc {

// Reads the longest leading decimal number of a text: spaces are ignored anywhere, then an optional
// sign, digits with at most one "." as the decimal point, and an optional exponent written with E or
// e followed by an optional sign and digits. Any other character ("," included) ends the number; a
// text without a number reads as 0. A value too small for a double reads as 0; one too large for a
// double throws Erreur (overflow) rather than give an infinite amount.
double LireNombre(QStringView texte);

// The pattern "#######" on a zone of an invoice line: a text that is a number (spaces around it
// allowed, "." as the decimal point) becomes the whole number without leading zeros, rounded half
// away from zero, and the empty text when it rounds to zero; any other text is returned unchanged.
QString FormatEntier(QStringView texte);

// The patterns "######0.00" (2 decimals) and "######0.0000" (4): at least one integer digit, exactly
// that many decimals, "." as the decimal point whatever the user's locale, no grouping. The value is
// rounded half away from zero on its shortest decimal form (2.675 gives 2.68), and a value that
// rounds to zero carries no minus sign. Throws Erreur for a value that is not finite.
QString FormatDecimales(double valeur, int decimales);

} // namespace cc
