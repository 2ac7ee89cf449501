#pragma once

// What a write row of the findings file records for the undo, exactly: the values of the FACTCLI row as
// the run wrote them and as they were before, each with its type, and the check value that tells a row
// edited by hand. Also the guard that keeps a spreadsheet from reading a text cell as a formula.

#include <QString>
#include <QStringView>
#include <QVariant>
#include <optional>
#include <vector>

namespace cc {

// One column of a FACTCLI row and its value, as the driver returned it or as it was bound.
struct ValeurExacte {
    QString colonne;
    QVariant valeur;
    friend bool operator==(const ValeurExacte&, const ValeurExacte&) = default;
};
using RangeeExacte = std::vector<ValeurExacte>;

struct ValeursExactes {
    QString execution;                 // the run's start, ISO to the second
    RangeeExacte ecrit;                // the row as the write left it
    std::optional<RangeeExacte> avant; // as it was before; none for a row added
};

// A compact JSON object: {"execution":"…","ecrit":{"NUM_DOSSIER":"F1  ",…},"avant":{…}}. Texts are JSON
// strings with every blank kept, Null is null, an integer a JSON integer, a double the shortest number
// that reads back the same (always with a "." or an exponent, so that it stays a double), and any other
// type an object of one tag: {"date":"yyyy-MM-ddThh:mm:ss.zzz"} (date and time), {"jour":…} (date),
// {"heure":…} (time), {"octets":base64}, {"int":n}, {"bool":b}, {"float":x}, {"texte":…} for the
// remaining types, read back as text. Columns keep their order.
QString EncoderValeursExactes(const ValeursExactes& valeurs);
// The values encoded, type and value; none when the text is not such an object.
std::optional<ValeursExactes> DecoderValeursExactes(QStringView texte);

// The check value of a row: "c" and the first 16 hex digits, lower case, of SHA-256 over the UTF-8 of the
// cells joined by U+001F, as the cells read back from the file.
QString ControleConstat(const QString& sens, const QString& base, const QString& groupe,
                        const QString& action, const QString& constat, const QString& ligne,
                        const QString& valeursExactes);

// A text cell that a spreadsheet would take for a formula (it begins with "=", "+", "-", "@", a tab, a
// carriage return, or the "'" that this guard adds) gets one "'" in front; RetablirFormule takes it
// away again.
QString NeutraliserFormule(const QString& texte);
QString RetablirFormule(const QString& texte);

} // namespace cc
