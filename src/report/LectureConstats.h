#pragma once

#include "report/ColonnesConstats.h"
#include "report/Constats.h"

#include <QString>
#include <QStringView>
#include <QVariant>
#include <vector>

namespace cc {

// One row of a findings file, read back.
class RangeeConstats {
public:
    explicit RangeeConstats(std::vector<QString> champs) : champs_(std::move(champs)) {}
    // The column's text; empty where the row is shorter.
    QString texte(ColonneConstat colonne) const;
    // An amount of the file (decimal comma); Null when empty. Throws Erreur when it reads as none.
    QVariant montant(ColonneConstat colonne) const;
    // The row as the finding it was written from (its run and direction aside). Throws Erreur.
    LigneConstat ligne() const;

private:
    std::vector<QString> champs_;
};

// The rows of a findings file of the program, its header row checked and left out. Throws Erreur
// when the file cannot be read or its header is not the program's.
std::vector<RangeeConstats> LireConstats(const QString& chemin);

// The fields of one CSV line (RFC 4180 with ";"); a quoted field may hold line ends only when the whole
// text is given to LireCsv.
std::vector<std::vector<QString>> LireCsv(QStringView texte);

} // namespace cc
