#include "commun/FormeLarge.h"

namespace cc {

QString FormeLarge(QStringView texte) {
    QString forme;
    forme.reserve(texte.size());
    bool ascii = true;
    for (const QChar c : texte)
        ascii = ascii && c.unicode() < 0x80;
    // Accents and compatibility forms come apart from their letters first, then only letters and
    // digits are kept.
    const QString decompose = ascii ? QString() : texte.toString().normalized(QString::NormalizationForm_KD);
    for (const QChar c : ascii ? texte : QStringView(decompose)) {
        if (c.isDigit() && c.digitValue() >= 0)
            forme += QChar(u'0' + c.digitValue());
        else if (c.isLetter())
            forme += c.toCaseFolded();
    }
    return forme;
}

} // namespace cc
