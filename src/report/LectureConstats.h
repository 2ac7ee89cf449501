#pragma once

#include "commun/Erreur.h"
#include "report/ColonnesConstats.h"
#include "report/Constats.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace cc {

// One row of a findings file, read back.
class RangeeConstats {
public:
    // neutralise: the file writes a text cell that a spreadsheet would take for a formula behind one
    // quote, which reading removes (not in files of the layout before it).
    explicit RangeeConstats(std::vector<QString> champs, bool neutralise = true)
        : champs_(std::move(champs)), neutralise_(neutralise) {}
    // The column's text; empty where the row is shorter.
    QString texte(ColonneConstat colonne) const;
    // An amount of the file (decimal comma); Null when empty. Throws Erreur when it reads as none.
    QVariant montant(ColonneConstat colonne) const;
    // The row as the finding it was written from (its run and direction aside). Throws Erreur.
    LigneConstat ligne() const;
    std::size_t nombreChamps() const { return champs_.size(); }

private:
    std::vector<QString> champs_;
    bool neutralise_;
};

// Reads a CSV file (RFC 4180 with ";", UTF-8, a byte-order mark skipped) one record at a time, in
// bounded memory: a record's place lets a later pass come back to it. Strict: a quote that does not
// open or close a field, a quote left open at the end, bytes that are no UTF-8 or a record of more than
// TailleMaximaleRangee bytes throw Erreur (AccesFichier) naming the record.
class LecteurCsv {
public:
    static constexpr qint64 TailleMaximaleRangee = 1 << 20;
    explicit LecteurCsv(QIODevice& source);
    // The next record's fields; false at the end (blank lines skipped).
    bool lire(std::vector<QString>& champs);
    // Where the record last read begins, and its rank in the file (the first record 1).
    qint64 debut() const { return debut_; }
    qint64 numero() const { return numero_; }
    // Reads next the record that begins there, of that rank.
    void allerA(qint64 debut, qint64 numero);

private:
    bool octet(char& c);
    [[noreturn]] void abime(const QString& raison) const;
    QIODevice& source_;
    QByteArray tampon_;
    qsizetype lu_ = 0;          // bytes of tampon_ already taken
    qint64 positionTampon_ = 0; // the file's offset of tampon_'s first byte
    qint64 debut_ = 0;
    qint64 numero_ = 0;
};

// The layout of a findings file's header: today's, or the one before the write journal's columns.
enum class DispositionConstats { Ancienne, Actuelle };
// The layout a header row names; none when it is no findings file's header.
std::optional<DispositionConstats> DispositionEntete(const std::vector<QString>& entete);

// The error that refuses a findings file whole: its name, the record and the reason.
Erreur ConstatsRefuses(const QString& chemin, qint64 numero, const QString& raison);

// A write row of a findings file, kept by its place: the undo reads it again from there.
struct PlaceEcriture {
    qint64 debut = 0;
    qint64 numero = 0;
    int groupe = 0; // 0 in a file of the older layout
};

// What a whole findings file holds, checked.
struct JournalConstats {
    DispositionConstats disposition = DispositionConstats::Actuelle;
    std::vector<PlaceEcriture> ecritures = {}; // in the file's order
    std::map<int, bool> groupes = {};          // committed (true) or rolled back, where a marker says
};

// Reads and checks a whole findings file before anything is written: its header (either layout),
// every record and value; in today's layout, the database each row names (base), each check value and
// the human columns against the exact values. Memory grows with the writes only (their places).
// entreRangees is called between records (a stop request). Throws the Erreur of ConstatsRefuses.
// ecriture: what else makes a write row unsound.
using VerificationEcriture =
    std::function<std::optional<QString>(const RangeeConstats&, DispositionConstats)>;
JournalConstats VerifierConstats(QIODevice& fichier, const QString& chemin, const QString& base,
                                 const std::function<void()>& entreRangees,
                                 const VerificationEcriture& ecriture);
// Why a record of the file is refused; none when it is sound.
std::optional<QString> ProblemeRangee(const RangeeConstats& rangee, DispositionConstats disposition,
                                      const QString& base);
// Whether a row records a write (not a marker, nor a finding alone).
bool EstEcriture(const QString& action);

// Two texts of dates or times that mean the same instant, whatever their format: ISO 8601 with "T" or a
// blank, with or without seconds, or a spreadsheet's day/month/year with a two-digit year and AM/PM
// (the order of day and month as the text that was re-formatted had it). Other texts are compared
// as they are.
bool MemeInstant(const QString& a, const QString& b);

// The rows of a findings file of the program, its header row checked and left out. Throws Erreur
// when the file cannot be read, its header is not the program's or a record is malformed.
std::vector<RangeeConstats> LireConstats(const QString& chemin);

// The fields of each line of a CSV text (RFC 4180 with ";"). Throws Erreur when it is malformed.
std::vector<std::vector<QString>> LireCsv(QStringView texte);

} // namespace cc
