#include "FichierConstats.h"

#include "commun/Horloge.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace cc::test {

namespace {

const QStringList EnTete{u"Exécution"_s,
                         u"Sens"_s,
                         u"Facture"_s,
                         u"Dossier"_s,
                         u"Devis"_s,
                         u"Constat"_s,
                         u"Montant FACTCLI"_s,
                         u"Montant facturé"_s,
                         u"Action"_s,
                         u"Numéro écrit"_s,
                         u"Jour écrit"_s,
                         u"Date de mise à jour écrite"_s,
                         u"Ancien numéro"_s,
                         u"Ancien dossier"_s,
                         u"Ancien jour"_s,
                         u"Ancien devis"_s,
                         u"Ancienne date de mise à jour"_s,
                         u"Ligne"_s,
                         u"Groupe"_s,
                         u"Base"_s,
                         u"Valeurs exactes"_s,
                         u"Contrôle"_s};
// The columns after the model's: the locator, the group, the database, the exact values, the check value.
constexpr int ColonnesDuJournal = 5;

// The moment a report is named after, "yyyy-MM-dd hh:mm:ss"; empty for a name without one.
QString estampille(const QString& cheminRapport) {
    static const QRegularExpression motif(
        u"\\.(\\d{4}-\\d\\d-\\d\\d)-(\\d\\d)-(\\d\\d)-(\\d\\d)(-\\d+)?\\.txt$"_s);
    const QRegularExpressionMatch m = motif.match(QFileInfo(cheminRapport).fileName());
    if (!m.hasMatch())
        return {};
    return m.captured(1) + u' ' + m.captured(2) + u':' + m.captured(3) + u':' + m.captured(4);
}

// A DATE_MAJ of the findings file ("yyyy-MM-dd hh:mm:00") stamped during the run.
bool dateEcriteValide(const QString& texte, const ResultatLot& r) {
    static const QRegularExpression motif(u"^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:00$"_s);
    if (!motif.match(texte).hasMatch())
        return false;
    const QDateTime t = QDateTime::fromString(texte, u"yyyy-MM-dd hh:mm:ss"_s);
    return t.isValid() && horodatageValide(t.toString(FormatDateMaj), r.avant, r.apres);
}

QStringList joindre(const std::vector<QStringList>& lignes) {
    QStringList t;
    for (const QStringList& l : lignes)
        t << l.join(u';');
    return t;
}

int compter(const std::vector<QStringList>& lignes, const QStringList& actions) {
    return int(std::count_if(lignes.begin(), lignes.end(),
                             [&](const QStringList& l) { return actions.contains(l[modele::Action]); }));
}

} // namespace

LectureCsv lireCsv(const QByteArray& octets) {
    LectureCsv r;
    if (!octets.startsWith("\xEF\xBB\xBF")) {
        r.erreur = u"no byte-order mark"_s;
        return r;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString texte = utf8(octets.mid(3));
    if (utf8.hasError()) {
        r.erreur = u"not UTF-8"_s;
        return r;
    }
    QStringList ligne;
    QString champ;
    bool entreGuillemets = false;
    bool apresGuillemets = false; // a quoted field just closed: only ";" or the line end may follow
    const auto echec = [&](const QString& quoi) {
        r.erreur = u"row %1: %2"_s.arg(r.lignes.size() + 1).arg(quoi);
    };
    for (qsizetype i = 0; i < texte.size(); ++i) {
        const QChar c = texte[i];
        const QChar suivant = i + 1 < texte.size() ? texte[i + 1] : QChar();
        if (entreGuillemets) {
            if (c != u'"') {
                champ += c;
            } else if (suivant == u'"') {
                champ += c;
                ++i;
            } else {
                entreGuillemets = false;
                apresGuillemets = true;
            }
        } else if (c == u';' || c == u'\r') {
            if (c == u'\r' && suivant != u'\n') {
                echec(u"CR without LF"_s);
                return r;
            }
            ligne << champ;
            champ.clear();
            apresGuillemets = false;
            if (c == u'\r') {
                ++i;
                r.lignes.push_back(ligne);
                ligne.clear();
            }
        } else if (c == u'\n') {
            echec(u"LF without CR"_s);
            return r;
        } else if (apresGuillemets || (c == u'"' && !champ.isEmpty())) {
            echec(u"a double quote inside a field that is not quoted"_s);
            return r;
        } else if (c == u'"') {
            entreGuillemets = true;
        } else {
            champ += c;
        }
    }
    if (entreGuillemets)
        echec(u"a quoted field never closed"_s);
    else if (!ligne.isEmpty() || !champ.isEmpty() || apresGuillemets)
        echec(u"the last line is not ended by CR LF"_s);
    return r;
}

Constats lireConstats(const ResultatLot& r) {
    Constats c;
    const LectureCsv csv = lireCsv(r.constats);
    if (r.constats.isEmpty() || !csv.erreur.isEmpty()) {
        c.erreur = u"findings file of %1: %2"_s.arg(
            r.cheminRapport, r.constats.isEmpty() ? u"missing or empty"_s : csv.erreur);
        return c;
    }
    if (csv.lignes.front() != EnTete) {
        c.erreur = u"header: %1"_s.arg(csv.lignes.front().join(u';'));
        return c;
    }
    const QString execution = estampille(r.cheminRapport);
    for (std::size_t i = 1; i < csv.lignes.size(); ++i) {
        QStringList l = csv.lignes[i];
        QString faute;
        // The last columns, the locator of a row written and the journal's, are the program's own: only
        // their presence counts here. Group markers are no finding.
        if (l.size() != modele::NombreColonnes + ColonnesDuJournal)
            faute = u"%1 fields"_s.arg(l.size());
        else if (execution.isEmpty() || l[modele::Execution] != execution)
            faute = u"stamp other than the report's (%1)"_s.arg(r.cheminRapport);
        else if (!l[modele::DateEcrite].isEmpty() && l[modele::Sens] != u"annulation"_s &&
                 !dateEcriteValide(l[modele::DateEcrite], r))
            faute = u"DATE_MAJ written outside the run (%1 to %2)"_s.arg(r.avant.toString(Qt::ISODate),
                                                                         r.apres.toString(Qt::ISODate));
        if (!faute.isEmpty()) {
            c.erreur = u"findings row %1, %2: %3"_s.arg(i).arg(faute, l.join(u';'));
            return c;
        }
        if (l[modele::Action] == u"groupe validé"_s || l[modele::Action] == u"groupe annulé"_s)
            continue;
        l.remove(modele::NombreColonnes, ColonnesDuJournal);
        // A text cell that a spreadsheet would take for a formula carries one "'" in front.
        for (QString& champ : l)
            if (champ.startsWith(u'\''))
                champ.remove(0, 1);
        l[modele::Execution] = modele::ExecutionDuLot;
        if (!l[modele::DateEcrite].isEmpty() && l[modele::Sens] != u"annulation"_s)
            l[modele::DateEcrite] = modele::DateDuLot;
        // A row rewritten twice in one run (two invoice numbers the database takes for one key) had,
        // the second time, the DATE_MAJ this run wrote: the clock again, not the company's data.
        if (l[modele::Sens] != u"annulation"_s && dateEcriteValide(l[modele::AncienneDate], r))
            l[modele::AncienneDate] = modele::DateDuLot;
        c.lignes.push_back(l);
    }
    return c;
}

QString comparerConstats(const std::vector<QStringList>& attendu, const ResultatLot& r, bool dansLeDesordre) {
    const Constats obtenu = lireConstats(r);
    if (!obtenu.erreur.isEmpty())
        return obtenu.erreur;
    QStringList voulus = joindre(attendu);
    QStringList trouves = joindre(obtenu.lignes);
    if (dansLeDesordre) {
        voulus.sort();
        trouves.sort();
    }
    const QString difference = premiereDifference(voulus, trouves);
    return difference.isEmpty() ? QString() : u"findings file, "_s + difference;
}

QString comparerResume(const ResultatLot& r) {
    const Constats c = lireConstats(r);
    if (!c.erreur.isEmpty())
        return c.erreur;
    const auto nombre = [&](const QString& libelle) {
        const QRegularExpressionMatch m = QRegularExpression(libelle + u" : (\\d+)"_s).match(r.erreurs);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    };
    const int ajoutes = compter(c.lignes, {u"ligne ajoutée"_s, u"ligne réécrite"_s});
    const int reecrits = compter(c.lignes, {u"montant réécrit"_s});
    if (nombre(u"enregistrements ajoutés"_s) != ajoutes || nombre(u"montants réécrits"_s) != reecrits)
        return u"the findings file counts %1 rows added and %2 amounts rewritten; the summary says:\n%3"_s
            .arg(ajoutes)
            .arg(reecrits)
            .arg(r.erreurs);
    return {};
}

std::vector<QStringList> ecritures(const std::vector<QStringList>& lignes) {
    std::vector<QStringList> e;
    for (const QStringList& l : lignes)
        if (QStringList{u"ligne ajoutée"_s, u"montant réécrit"_s, u"ligne réécrite"_s}.contains(
                l[modele::Action]))
            e.push_back(l);
    return e;
}

QString verifierAnnulation(const ResultatLot& reparation, const ResultatLot& annulation, bool dejaFaite) {
    if (annulation.code != 0)
        return u"the undo exited with %1:\n%2"_s.arg(annulation.code).arg(annulation.erreurs);
    const Constats faites = lireConstats(reparation);
    const Constats defaites = lireConstats(annulation);
    if (!faites.erreur.isEmpty() || !defaites.erreur.isEmpty())
        return faites.erreur + defaites.erreur;
    const QHash<QString, QString> inverse{{u"ligne ajoutée"_s, u"ligne supprimée"_s},
                                          {u"montant réécrit"_s, u"montant rétabli"_s},
                                          {u"ligne réécrite"_s, u"ligne rétablie"_s}};
    std::vector<QStringList> attendu;
    for (const QStringList& e : ecritures(faites.lignes)) {
        QStringList l = e;
        l[modele::Sens] = u"annulation"_s;
        l[modele::Constat] = e[modele::Action];
        l[modele::Action] = dejaFaite ? u"déjà rétablie"_s : inverse.value(e[modele::Action]);
        attendu.push_back(l);
    }
    // The last write is undone first.
    std::reverse(attendu.begin(), attendu.end());
    // An undo row is about the write it reverses: the same invoice and dossier; what else it repeats
    // of that write is left to the undo.
    const auto cle = [](const std::vector<QStringList>& lignes) {
        QStringList t;
        for (const QStringList& l : lignes)
            t << QStringList{l[modele::Sens], l[modele::NumeroFacture], l[modele::Dossier],
                             l[modele::Constat], l[modele::Action]}
                     .join(u';');
        return t;
    };
    const QString difference = premiereDifference(cle(attendu), cle(defaites.lignes));
    return difference.isEmpty() ? QString() : u"undo findings, "_s + difference;
}

} // namespace cc::test
