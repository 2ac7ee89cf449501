#include "Tableau.h"

#include <QLocale>
#include <algorithm>

namespace cc::banc {

QString Tableau::texte() const {
    QList<qsizetype> largeurs;
    for (const QString& e : entetes_)
        largeurs.append(e.size());
    for (const QStringList& l : lignes_)
        for (qsizetype c = 0; c < l.size() && c < largeurs.size(); ++c)
            largeurs[c] = std::max(largeurs[c], l[c].size());

    const auto ligne = [&](const QStringList& cellules) {
        QString t;
        for (qsizetype c = 0; c < largeurs.size(); ++c) {
            const QString cellule = c < cellules.size() ? cellules[c] : QString();
            if (c > 0)
                t += QStringLiteral("  ");
            t +=
                c < colonnesTexte_ ? cellule.leftJustified(largeurs[c]) : cellule.rightJustified(largeurs[c]);
        }
        // No trailing blanks after a short last cell.
        while (t.endsWith(u' '))
            t.chop(1);
        return t + u'\n';
    };

    QString t = ligne(entetes_);
    qsizetype total = 0;
    for (qsizetype l : largeurs)
        total += l;
    total += 2 * (largeurs.size() - 1);
    t += QString(total, u'-') + u'\n';
    for (const QStringList& l : lignes_)
        t += ligne(l);
    return t;
}

QString Decimal(double valeur, int decimales) {
    QLocale francais(QLocale::French, QLocale::France);
    francais.setNumberOptions(QLocale::OmitGroupSeparator);
    return francais.toString(valeur, 'f', decimales);
}

QString Entier(qint64 valeur) {
    return QString::number(valeur);
}

} // namespace cc::banc
