#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace cc::banc {

// A plain text table: the first columns (words) left-aligned, the others (figures) right-aligned, each
// as wide as its widest cell, columns two blanks apart, a rule under the headings.
class Tableau {
public:
    Tableau(qsizetype colonnesTexte, QStringList entetes)
        : colonnesTexte_(colonnesTexte), entetes_(std::move(entetes)) {}
    void ajouter(QStringList ligne) { lignes_.append(std::move(ligne)); }
    QString texte() const;

private:
    qsizetype colonnesTexte_;
    QStringList entetes_;
    QList<QStringList> lignes_;
};

// French figures: a comma before the decimals, no thousands separator (the table stays easy to
// read by a script).
QString Decimal(double valeur, int decimales);
QString Entier(qint64 valeur);

} // namespace cc::banc
