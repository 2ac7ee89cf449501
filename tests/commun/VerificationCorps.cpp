#include "VerificationCorps.h"

#include "checks/EcritureFactCli.h"
#include "commun/Erreur.h"
#include "commun/TexteChamp.h"
#include "invoice/LignesCorps.h"
#include "invoice/Nombres.h"

#include <QList>
#include <QSet>
#include <cmath>
#include <utility>

using namespace Qt::StringLiterals;

namespace cc::test {

std::optional<DonneesRemise> remiseFactice(int rangee) {
    if (rangee % 6 == 0)
        return std::nullopt;
    return DonneesRemise{QString::number(rangee), u"%1.5"_s.arg(rangee % 7), u"C"_s, u"+d"_s, QString()};
}

QString verifierCorps(const QString& corps, const QString& dossierEntete, int* lignesLues) {
    // The lines read: the longest run of slices, from the first, whose numbers are two digits rising
    // strictly from 01 to 99.
    QList<int> lues;
    for (qsizetype i = 0; i * 150 < corps.size(); ++i) {
        const QString n = corps.mid(i * 150, 2);
        const auto chiffre = [](QChar c) { return c >= u'0' && c <= u'9'; };
        if (n.size() != 2 || !chiffre(n[0]) || !chiffre(n[1]))
            break;
        const int v = n.toInt();
        if (v < 1 || (!lues.isEmpty() && v <= lues.last()))
            break;
        lues.append(v);
    }

    EnregistrementFacture f;
    f.DossierFacture = dossierEntete;
    int resultat = 0;
    try {
        resultat = RemplirLignes(corps, f, remiseFactice);
    } catch (const Erreur& e) {
        // Only an amount too large for a double may stop the reading.
        if (lignesLues)
            *lignesLues = -1;
        return e.numero() == 6 ? QString() : u"erreur %1 %2"_s.arg(e.numero()).arg(e.description());
    }
    if (lignesLues)
        *lignesLues = resultat;
    if (resultat != lues.size())
        return u"%1 lignes lues au lieu de %2"_s.arg(resultat).arg(lues.size());

    QString dossierAttendu = dossierEntete;
    for (qsizetype x = 0; x < lues.size(); ++x) {
        const QString t = corps.mid(x * 150, 150);
        const int k = 2 * lues[x];
        const auto& r = f.LignesFacture[k];
        const auto lu = [&](int debut, int longueur) { return t.mid(debut - 1, longueur); };
        const QString devis = lu(115, 8);
        const bool ok =
            r[NumeroLigne].isEmpty() && r[Zone03] == SupprimerBlancs(lu(3, 5)) &&
            r[Zone08] == SupprimerBlancs(lu(8, 4)) && r[Reference] == SupprimerBlancsFin(lu(12, 19)) &&
            r[Designation] ==
                SupprimerBlancsFin(lu(31, 40)) + remiseFactice(k).value_or(DonneesRemise{}).designation &&
            r[Zone100] == lu(100, 3) && r[Zone103] == lu(103, 1) && r[Zone104] == lu(104, 8) &&
            r[Zone112] == lu(112, 3) && r[NumeroDossier] == lu(123, 8) && r[Zone141] == lu(141, 1) &&
            r[NumeroDevis] == (SupprimerBlancs(devis).isEmpty() ? DevisAbsent() : devis) &&
            r[TauxRemise] == (remiseFactice(k) ? QString::number(k) : u"0"_s);
        if (!ok)
            return u"rangée %1 mal remplie"_s.arg(k);
        for (const auto& [colonne, decimales] : {std::pair{MontantLigne, 2}, std::pair{Zone79, 4}}) {
            // Empty, or a plain number with "." and fixed decimals that reads back to itself.
            const QString& m = r[colonne];
            if (m.isEmpty())
                continue;
            const qsizetype point = m.indexOf(u'.');
            if (point < 1 || m.size() - point - 1 != decimales || m.contains(u',') ||
                FormatDecimales(LireNombre(m), decimales) != m)
                return u"rangée %1: montant %2"_s.arg(k).arg(m);
        }
        const QString dossier = SupprimerBlancs(lu(123, 8));
        if (!dossier.isEmpty() && dossier != dossierAttendu)
            dossierAttendu.clear();
    }
    if (f.DossierFacture != dossierAttendu)
        return u"dossier de la facture %1 au lieu de %2"_s.arg(f.DossierFacture, dossierAttendu);

    // Every other row is empty, except a single missing line between two read ones, which may carry an
    // estimate and a dossier alone.
    for (int k = 0; k < NombreRangees; ++k) {
        if (k % 2 == 0 && k >= 2 && k <= 198 && lues.contains(k / 2))
            continue;
        const bool trou = k % 2 == 0 && lues.contains(k / 2 - 1) && lues.contains(k / 2 + 1);
        for (int c = 0; c < NombreColonnes; ++c)
            if (!f.LignesFacture[k][c].isEmpty() && !(trou && (c == NumeroDevis || c == NumeroDossier)))
                return u"rangée %1 colonne %2 remplie"_s.arg(k).arg(c);
    }

    // Reading again gives the same record, and the amounts of every dossier named are finite.
    EnregistrementFacture g;
    g.DossierFacture = dossierEntete;
    RemplirLignes(corps, g, remiseFactice);
    if (g.LignesFacture != f.LignesFacture || g.DossierFacture != f.DossierFacture)
        return u"lecture instable"_s;
    QSet<QString> dossiers{u"ABSENT"_s};
    for (int k = 2; k <= 198; k += 2)
        dossiers.insert(SupprimerBlancs(f.cellule(k, NumeroDossier)));
    for (const QString& type : {u"A"_s, u"F"_s}) {
        f.TypePiece = type;
        for (const QString& dossier : dossiers)
            if (!std::isfinite(MontantDossier(f, dossier)))
                return u"montant non fini"_s;
    }
    return {};
}

QString verifierNombre(const QString& texte) {
    try {
        const double v = LireNombre(texte);
        if (!std::isfinite(v))
            return u"nombre non fini"_s;
    } catch (const Erreur& e) {
        if (e.numero() != 6)
            return e.description();
    }
    const QString entier = FormatEntier(texte);
    if (entier != texte) {
        for (qsizetype i = 0; i < entier.size(); ++i)
            if (!((entier[i] >= u'0' && entier[i] <= u'9') || (i == 0 && entier[i] == u'-')))
                return u"entier %1"_s.arg(entier);
        if (entier.startsWith(u'0') || entier == u"-" || entier.startsWith(u"-0"))
            return u"entier %1"_s.arg(entier);
    }
    return {};
}

} // namespace cc::test
