#include "Modele.h"

#include <QDateTime>

#include <QLocale>
#include <QSet>
#include <array>
#include <cmath>
#include <optional>
#include <random>

using namespace Qt::StringLiterals;

namespace cc::test::modele {

namespace {

QString sansBlancs(const QString& t) {
    qsizetype a = 0, b = t.size();
    while (a < b && t[a] == u' ')
        ++a;
    while (b > a && t[b - 1] == u' ')
        --b;
    return t.mid(a, b - a);
}

QString sansBlancsFin(const QString& t) {
    qsizetype b = t.size();
    while (b > 0 && t[b - 1] == u' ')
        --b;
    return t.left(b);
}

// A field read as text: empty for Null, trailing blanks gone. Only texts and doubles occur here.
QString texte(const QVariant& v) {
    if (v.isNull())
        return {};
    return sansBlancsFin(v.toString());
}

// A day or a time as the findings file shows it: "yyyy-MM-dd" for a day at midnight, "yyyy-MM-dd hh:mm:ss"
// for a time, from the forms the tests' databases hold; any other text as it is.
QString dateConstats(const QVariant& v, bool jour) {
    const QString t = texte(v);
    for (const QString& forme : {u"yyyy-MM-dd"_s, u"yyyy-MM-dd hh:mm:ss"_s, u"yyyy/MM/dd"_s,
                                 u"dd/MM/yyyy hh:mm"_s, u"dd/MM/yyyy"_s, u"yyyy-MM-ddThh:mm:ss"_s}) {
        const QDateTime d = QDateTime::fromString(t, forme);
        if (d.isValid())
            return d.toString(jour && d.time() == QTime(0, 0) ? u"yyyy-MM-dd"_s : u"yyyy-MM-dd hh:mm:ss"_s);
    }
    return t;
}

// Comparison of a stored text with a bound text, as SQLite does it: exact, Null equal to nothing.
bool egalBase(const QVariant& stocke, const QString& valeur) {
    return !stocke.isNull() && stocke.toString() == valeur;
}

struct Rangee {
    QString montantLigne;
    QString devis;
    QString dossier;
    double remise = 0; // discount amount as the record holds it ("0" when no discount row)
};

struct Lecture {
    int resultat = 0;
    std::array<Rangee, 201> rangees{};
    QString typePiece;
    QString jour;
    QString dossierFacture;
};

const Facture* chercherFacture(const Societe& s, const QString& numero) {
    for (const Facture& f : s.factures)
        if (egalBase(f.numero, numero))
            return &f;
    return nullptr;
}

Lecture lire(const Societe& s, const QString& entree) {
    Lecture l;
    const QString numero = sansBlancs(entree);
    const Facture* f = chercherFacture(s, numero);
    if (!f)
        return l;
    l.jour = texte(f->jour);
    l.dossierFacture = texte(f->dossier);
    l.typePiece = texte(f->typePiece) == u"A"_s ? u"A"_s : u"F"_s;
    if (texte(f->flagDivers) == u"7"_s) {
        l.resultat = 7;
        return l;
    }
    const QString corps = texte(f->corps);
    int i = 0, p = 0, m = 0, r = 0;
    QString e, d;
    for (int j = 1; j <= 99; ++j) {
        const int k = 2 * j;
        if (corps.mid(150 * i, 2) != u"%1"_s.arg(j, 2, 10, QLatin1Char('0'))) {
            m = j;
            r = k;
            continue;
        }
        const QString tranche = corps.mid(150 * i, 150);
        Rangee& rg = l.rangees[k];
        const double v = lireNombre(tranche.mid(88, 11));
        rg.montantLigne = std::fabs(v) <= 0.001 ? QString() : QString::number(v, 'f', 2);
        const QString devis = tranche.mid(114, 8);
        const QString dossier = tranche.mid(122, 8);
        rg.devis = sansBlancs(devis).isEmpty() ? u"********"_s : devis;
        rg.dossier = dossier;
        if (!sansBlancs(dossier).isEmpty() && sansBlancs(dossier) != l.dossierFacture)
            l.dossierFacture.clear();
        if (p == j - 2 && m == j - 1 && devis == e && dossier == d) {
            l.rangees[r].devis = e;
            l.rangees[r].dossier = d;
        }
        e = devis;
        d = dossier;
        p = j;
        for (const Remise& rem : s.remises)
            if (egalBase(rem.numero, numero) && rem.numeroDeLigne == k) {
                rg.remise = rem.montant.isNull() ? 0 : rem.montant.toDouble();
                break;
            }
        ++i;
    }
    l.resultat = 1;
    return l;
}

double montantRangee(const Lecture& l, int r) {
    const double ligne = lireNombre(l.rangees[r].montantLigne);
    return l.typePiece == u"A"_s ? -ligne : ligne - l.rangees[r].remise;
}

double montantDossier(const Lecture& l, const QString& dossier) {
    double total = 0;
    const auto ajouter = [&](int r) {
        const double a = montantRangee(l, r);
        if (std::fabs(a) > 0.001)
            total += a;
    };
    if (!l.dossierFacture.isEmpty()) {
        for (int r = 1; r <= 200; ++r)
            ajouter(r);
        return total;
    }
    int r = 1;
    while (r <= 200) {
        if (sansBlancs(l.rangees[r].dossier) != dossier) {
            ++r;
            continue;
        }
        ajouter(r++);
        while (r <= 200 && (sansBlancs(l.rangees[r].dossier) == dossier || l.rangees[r].dossier.isEmpty()))
            ajouter(r++);
    }
    return total;
}

bool dansPeriode(const QVariant& jour, const Options& o) {
    if (jour.isNull())
        return false;
    // A day is a date at midnight: the last day with a time of day after midnight is outside.
    const QString t = jour.toString();
    return t >= o.du.toString(u"yyyy-MM-dd"_s) && t <= o.au.toString(u"yyyy-MM-dd"_s) + u" 00:00:00"_s;
}

QString ligneErreur(const QString& facture, const QString& dossier) {
    return u"Erreur sur la facture : "_s + facture + u" et le dossier : "_s + dossier;
}

// An amount as the findings file gives it: a decimal comma, the shortest text that reads back to the
// same double, never an exponent; nothing for Null.
QString texteMontant(const QVariant& montant) {
    if (montant.isNull())
        return {};
    return QLocale::c().toString(montant.toDouble(), 'f', QLocale::FloatingPointShortest).replace(u'.', u',');
}

// A findings row about which nothing was done.
QStringList constat(const QString& sens, const QString& facture, const QString& dossier,
                    const QString& quoi) {
    QStringList c(NombreColonnes);
    c[Execution] = ExecutionDuLot;
    c[Sens] = sens;
    c[NumeroFacture] = facture;
    c[Dossier] = dossier;
    c[Constat] = quoi;
    c[Action] = u"aucune"_s;
    return c;
}

// What a write of the run puts in the row: the number trimmed, the invoice's day, the clock.
void ecriture(QStringList& c, const LigneFactCli& ecrite, const QString& action) {
    c[Action] = action;
    c[NumeroEcrit] = texte(ecrite.facture);
    c[JourEcrit] = dateConstats(ecrite.jour, true);
    c[DateEcrite] = DateDuLot;
}

void controleFactures(const Societe& s, const Options& o, Attendu& a) {
    std::vector<LigneFactCli>& table = a.factCli;
    const QString sens = u"factures"_s;
    for (const Facture& f : s.factures) {
        if (!dansPeriode(f.jour, o) || f.numero.isNull())
            continue;
        const QString n = f.numero.toString();
        const Lecture l = lire(s, n);
        if (l.resultat == 7) {
            ++a.messagesAnciennes;
            a.constats.push_back(constat(sens, n, {}, u"facture ancienne illisible"_s));
        }
        if (l.resultat != 1)
            continue;
        QSet<QString> vus;
        for (int r = 1; r <= 200; ++r) {
            const QString d = sansBlancs(l.rangees[r].dossier);
            if (d.isEmpty() || vus.contains(d))
                continue;
            vus.insert(d);
            const QString e = sansBlancs(l.rangees[r].devis);
            const double attendu = montantDossier(l, d);

            // Lookup: the invoice's rows in order, the column's trailing blanks gone, the first equal only.
            const auto premiere = std::find_if(table.begin(), table.end(), [&](const LigneFactCli& x) {
                return egalBase(x.facture, n) && texte(x.dossier) == d;
            });

            if (premiere == table.end()) {
                a.rapport << ligneErreur(n, d) << u"L'enregistrement est manquant"_s;
                QStringList c = constat(sens, n, d, u"ligne manquante"_s);
                c[Devis] = e;
                c[MontantFacture] = texteMontant(attendu);
                if (o.ajouter) {
                    const QString nt = sansBlancs(n);
                    LigneFactCli nouvelle{nt, d, l.jour, e, QString(), attendu, true};
                    auto existante = std::find_if(table.begin(), table.end(), [&](const LigneFactCli& x) {
                        return egalBase(x.dossier, d) && egalBase(x.facture, nt);
                    });
                    if (existante == table.end()) {
                        ecriture(c, nouvelle, u"ligne ajoutée"_s);
                        table.push_back(nouvelle);
                        ++a.ajoutes;
                    } else {
                        // The write's own selection found a row that the lookup did not: all its
                        // columns are rewritten, and what they held is kept for the undo.
                        ecriture(c, nouvelle, u"ligne réécrite"_s);
                        c[MontantFactCli] = texteMontant(existante->montant);
                        c[AncienNumero] = texte(existante->facture);
                        c[AncienDossier] = texte(existante->dossier);
                        c[AncienJour] = dateConstats(existante->jour, true);
                        c[AncienDevis] = texte(existante->devis);
                        c[AncienneDate] = dateConstats(existante->dateMaj, false);
                        *existante = nouvelle;
                    }
                }
                a.constats.push_back(c);
                continue;
            }
            // A Null amount is not counted as different.
            if (premiere->montant.isNull() || premiere->montant.toDouble() == attendu)
                continue;
            QStringList c = constat(sens, n, d, u"montant différent"_s);
            c[MontantFactCli] = texteMontant(premiere->montant);
            c[MontantFacture] = texteMontant(attendu);
            if (o.mettreAJour) {
                // The rewrite finds its row again by an exact comparison of both keys.
                auto cible = std::find_if(table.begin(), table.end(), [&](const LigneFactCli& x) {
                    return egalBase(x.facture, n) && egalBase(x.dossier, d);
                });
                if (cible == table.end()) {
                    a.rapport << u"L'enregistrement pour la Facture :"_s + n + u" et le Dossier : "_s + d +
                                     u" n'existe pas dans FACTCLI"_s;
                    c[Action] = u"ligne introuvable"_s;
                } else {
                    // The old amount is the rewritten row's, which the undo puts back.
                    c[MontantFactCli] = texteMontant(cible->montant);
                    c[AncienJour] = dateConstats(cible->jour, true);
                    c[AncienDevis] = texte(cible->devis);
                    c[AncienneDate] = dateConstats(cible->dateMaj, false);
                    c[Action] = u"montant réécrit"_s;
                    cible->montant = attendu;
                    ++a.reecrits;
                }
            }
            a.constats.push_back(c);
        }
    }
}

void controleFactCli(const Societe& s, const Options& o, Attendu& a) {
    const QString sens = u"factcli"_s;
    for (const LigneFactCli& ligne : s.factCli) {
        if (!dansPeriode(ligne.jour, o))
            continue;
        const QString n = ligne.facture.isNull() ? QString() : ligne.facture.toString();
        const QString d = ligne.dossier.isNull() ? QString() : ligne.dossier.toString();
        if (sansBlancs(n).isEmpty() || sansBlancs(d).isEmpty())
            continue;
        // This direction compares no amount: its rows give the row's own, an old invoice's excepted.
        const auto noter = [&](const QString& quoi) {
            a.constats.push_back(constat(sens, n, d, quoi));
            if (quoi != u"facture ancienne illisible"_s)
                a.constats.back()[MontantFactCli] = texteMontant(ligne.montant);
        };
        const Lecture l = lire(s, n);
        if (l.resultat == 0) {
            noter(u"facture inexistante"_s);
            continue;
        }
        if (l.resultat == 7) {
            ++a.messagesAnciennes;
            noter(u"facture ancienne illisible"_s);
        }
        bool nomme = false;
        for (int r = 1; r <= 200 && !nomme; ++r) {
            const QString ld = sansBlancs(l.rangees[r].dossier);
            nomme = !ld.isEmpty() && ld.toUpper() == d.toUpper();
        }
        if (!nomme) {
            a.rapport << ligneErreur(n, d) << u"L'enregistrement est manquant dans la facture"_s;
            noter(u"dossier absent de la facture"_s);
        }
    }
}

} // namespace

double lireNombre(const QString& t) {
    QString s;
    qsizetype i = 0;
    const auto blancs = [&] {
        while (i < t.size() && t[i] == u' ')
            ++i;
    };
    const auto chiffres = [&] {
        QString c;
        for (blancs(); i < t.size() && t[i].isDigit() && t[i].unicode() < 128; blancs())
            c += t[i++];
        return c;
    };
    blancs();
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        s += t[i++];
    QString entier = chiffres();
    QString decimales;
    bool point = false;
    if (i < t.size() && t[i] == u'.') {
        ++i;
        point = true;
        decimales = chiffres();
    }
    if (entier.isEmpty() && decimales.isEmpty())
        return 0;
    s += (entier.isEmpty() ? u"0"_s : entier);
    if (point && !decimales.isEmpty())
        s += u'.' + decimales;
    if (i < t.size() && (t[i] == u'E' || t[i] == u'e')) {
        const qsizetype avant = i++;
        blancs();
        QString exposant;
        if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
            exposant += t[i++];
        const QString c = chiffres();
        if (!c.isEmpty())
            s += u'e' + exposant + c;
        else
            i = avant;
    }
    bool ok = false;
    const double v = QLocale::c().toDouble(s, &ok);
    return ok ? v : 0;
}

Attendu simuler(const Societe& societe, const Options& options) {
    Attendu a;
    a.factCli = societe.factCli;
    if (options.aPartirDesFactures)
        controleFactures(societe, options, a);
    else
        controleFactCli(societe, options, a);
    return a;
}

void Societe::remplir(BaseTest& base) const {
    base.executer(u"BEGIN"_s);
    for (const Facture& f : factures)
        base.facture(f.numero, f.jour, f.dossier, f.corps, f.typePiece, f.flagDivers);
    for (const Remise& r : remises)
        base.ligne(r.numero, r.numeroDeLigne, r.taux, r.montant, r.code);
    for (const LigneFactCli& l : factCli)
        base.factCli(l.facture, l.dossier, l.jour, l.devis, l.dateMaj, l.montant);
    base.executer(u"COMMIT"_s);
}

namespace {

class Hasard {
public:
    explicit Hasard(quint32 graine) : g_(graine) {}
    int entre(int a, int b) { return std::uniform_int_distribution<int>(a, b)(g_); }
    bool pourcent(int p) { return entre(0, 99) < p; }
    template <typename T> const T& parmi(const std::vector<T>& v) {
        return v[std::size_t(entre(0, int(v.size()) - 1))];
    }

private:
    std::mt19937 g_;
};

QString texteCentimes(qint64 centimes) {
    const QString signe = centimes < 0 ? u"-"_s : QString();
    centimes = std::llabs(centimes);
    return signe + QString::number(centimes / 100) + u'.' +
           u"%1"_s.arg(centimes % 100, 2, 10, QLatin1Char('0'));
}

// The amount characters of a line, right-aligned like the host writes them, now and then odd.
QString montantCorps(Hasard& h) {
    const int choix = h.entre(0, 99);
    if (choix < 4)
        return u"%1,50"_s.arg(h.entre(1, 99)); // a comma ends the number
    if (choix < 7)
        return h.pourcent(50) ? u"0.001"_s : u"-0.001"_s;
    if (choix < 9)
        return {};
    if (choix < 12)
        return u"%1.%2%3"_s.arg(h.entre(0, 500))
            .arg(h.entre(0, 99), 2, 10, QLatin1Char('0'))
            .arg(h.parmi<int>({1, 2, 3, 4, 6, 7, 8, 9}));
    const QString t = texteCentimes(h.entre(-5000, 250000));
    return t.rightJustified(11, u' ');
}

} // namespace

Societe generer(quint32 graine, int nombreFactures, const QDate& debut, const QDate& fin) {
    Hasard h(graine);
    Societe s;
    QSet<QString> jumelees; // the first invoices of the pairs below
    const std::vector<QString> reserve{u"D100"_s,  u"D101"_s,    u"D102"_s, u"d101"_s,
                                       u"D'103"_s, u"2024-17"_s, u"D104"_s, u"D105"_s};
    const int jours = int(debut.daysTo(fin));

    for (int n = 1; n <= nombreFactures; ++n) {
        Facture f;
        const QString base = u"F%1"_s.arg(n, 5, 10, QLatin1Char('0'));
        const int forme = h.entre(0, 99);
        QString numero = base;
        if (forme < 3)
            numero = u"F'%1"_s.arg(n, 5, 10, QLatin1Char('0'));
        else if (forme < 5)
            numero = base + u' ';
        f.numero = forme == 99 ? QVariant() : QVariant(numero);

        // The days round the bounds, where a run is easiest to get wrong, come often.
        const int bord = h.entre(0, 99);
        const QDate jour = bord < 8    ? debut
                           : bord < 16 ? fin
                           : bord < 20 ? debut.addDays(-1)
                           : bord < 24 ? fin.addDays(1)
                                       : debut.addDays(h.entre(-3, jours + 3));
        const int heure = h.entre(0, 99);
        if (heure < 70)
            f.jour = jour.toString(u"yyyy-MM-dd"_s);
        else if (heure < 80)
            f.jour = jour.toString(u"yyyy-MM-dd"_s) + u" 00:00:00"_s;
        else
            f.jour =
                jour.toString(u"yyyy-MM-dd"_s) + u" %1:%2:00"_s.arg(h.entre(0, 23), 2, 10, QLatin1Char('0'))
                                                     .arg(h.entre(0, 59), 2, 10, QLatin1Char('0'));

        const int typ = h.entre(0, 99);
        f.typePiece = typ < 10 ? u"A"_s : typ < 13 ? u"a"_s : u"F"_s;
        f.flagDivers = h.pourcent(3) ? u"7"_s : u"0"_s;

        // The invoice's dossiers, and the lines that name them.
        std::vector<QString> siens;
        const int nd = h.entre(1, 100) <= 60 ? 1 : h.entre(2, 3);
        while (int(siens.size()) < nd) {
            const QString d = h.parmi(reserve);
            if (std::find(siens.begin(), siens.end(), d) == siens.end())
                siens.push_back(d);
        }
        std::vector<QString> devisDe;
        for (std::size_t i = 0; i < siens.size(); ++i)
            devisDe.push_back(h.pourcent(20) ? QString() : u"DV%1"_s.arg(h.entre(1, 40)));

        QString corps;
        int numeroLigne = 0;
        std::size_t courant = 0;
        const int lignes = h.entre(1, 7);
        for (int li = 0; li < lignes && numeroLigne < 99; ++li) {
            const int saut = h.entre(0, 99);
            numeroLigne += saut < 80 ? 1 : saut < 95 ? 2 : 3;
            if (numeroLigne > 99)
                break;
            int ecrit = numeroLigne;
            if (li > 0 && h.pourcent(2))
                ecrit = numeroLigne - 2; // out of order: stops the reading
            if (h.pourcent(30))
                courant = std::size_t(h.entre(0, int(siens.size()) - 1));
            Tranche t;
            t.numero = u"%1"_s.arg(std::max(ecrit, 0), 2, 10, QLatin1Char('0'));
            t.montant = montantCorps(h);
            t.devis = devisDe[courant];
            const int placement = h.entre(0, 99);
            t.dossier = placement < 8 ? QString() : placement < 10 ? u' ' + siens[courant] : siens[courant];
            t.zone141 = h.pourcent(80) ? u"1"_s : QString();
            t.designation = u"Désignation %1"_s.arg(li);
            corps += t.texte();

            if (h.pourcent(50) && !f.numero.isNull()) {
                Remise r;
                r.numero = sansBlancs(numero);
                r.numeroDeLigne = h.pourcent(90) ? 2 * ecrit : ecrit;
                r.taux = double(h.entre(0, 20));
                r.montant = h.pourcent(10) ? QVariant() : QVariant(h.entre(0, 5000) / 100.0);
                r.code = h.pourcent(50) ? QVariant(u"R"_s) : QVariant();
                s.remises.push_back(r);
            }
        }
        const int c = h.entre(0, 99);
        f.corps = c < 2 ? QVariant() : c < 4 ? QVariant(QString()) : QVariant(corps);

        const int entete = h.entre(0, 99);
        if (entete < 50)
            f.dossier = siens.front();
        else if (entete < 65)
            f.dossier = QVariant();
        else if (entete < 85)
            f.dossier = QString();
        else if (entete < 92)
            f.dossier = u"D999"_s;
        else
            f.dossier = siens.front() + u"  "_s;
        // Now and then a second invoice of the period whose number is this one's with a trailing blank,
        // this one moved before the period: read by its trimmed number, the second has the first's
        // lines, while the lookup keeps their FACTCLI rows apart and a write finds the first's rows.
        if (forme >= 5 && forme < 99 && h.pourcent(6)) {
            Facture jumelle = f;
            jumelle.numero = numero + u' ';
            f.jour = debut.addDays(-20).toString(u"yyyy-MM-dd"_s);
            jumelees.insert(numero);
            s.factures.push_back(f);
            s.factures.push_back(jumelle);
            continue;
        }
        s.factures.push_back(f);
    }

    // FACTCLI from what each invoice really bills, then spoilt on purpose.
    for (const Facture& f : s.factures) {
        if (f.numero.isNull())
            continue;
        const QString n = f.numero.toString();
        const QString jour = f.jour.toString();
        const Lecture l = lire(s, n);
        QStringList dossiers;
        for (int r = 1; r <= 200; ++r) {
            const QString d = sansBlancs(l.rangees[r].dossier);
            if (!d.isEmpty() && !dossiers.contains(d))
                dossiers << d;
        }
        if (l.resultat != 1)
            dossiers << u"D100"_s;
        const auto ajouter = [&](const QVariant& num, const QVariant& dos, const QVariant& montant,
                                 const QVariant& j) {
            s.factCli.push_back({num, dos, j, u"DV1"_s,
                                 h.pourcent(50) ? QVariant(u"01/02/2023 08:00"_s) : QVariant(), montant,
                                 false});
        };
        for (const QString& d : dossiers) {
            const double juste = montantDossier(l, d);
            // A second invoice's rows are often missing: the row a write then finds is the first's.
            if (n != sansBlancs(n) && l.resultat == 1 && h.pourcent(50))
                continue;
            const int choix = h.entre(0, 99);
            if (choix < 55)
                ajouter(n, d, juste, jour);
            else if (choix < 63)
                continue; // missing
            else if (choix < 70)
                ajouter(n, d, juste + (h.pourcent(50) ? 0.001 : h.entre(-300, 300) + 0.5), jour);
            else if (choix < 74)
                ajouter(n, d, QVariant(), jour);
            else if (choix < 79 && !jumelees.contains(n)) {
                // Not for a first invoice of a pair: which of two equal rows the second's write finds
                // would be up to the database.
                const bool justeDabord = h.pourcent(50);
                ajouter(n, d, justeDabord ? juste : juste + 1, jour);
                ajouter(n, d, justeDabord ? juste + 1 : juste, jour);
            } else if (choix < 85) {
                const int v = h.entre(0, 2);
                ajouter(n,
                        v == 0   ? d + u"  "_s
                        : v == 1 ? u' ' + d
                                 : d.toLower(),
                        h.pourcent(50) ? juste : juste + 3, jour);
            } else if (choix < 89) {
                ajouter(h.pourcent(50) ? n + u' ' : u' ' + n, d, juste, jour);
            } else if (choix < 93) {
                ajouter(n, d, juste, debut.addDays(-10).toString(u"yyyy-MM-dd"_s));
            } else {
                ajouter(n, d, juste + 2, jour);
            }
        }
        const int extra = h.entre(0, 99);
        if (extra < 8)
            ajouter(n, u"D888"_s, 10.0, jour);
        else if (extra < 10)
            ajouter(u"X%1"_s.arg(h.entre(1, 999)), u"D100"_s, 1.0, jour);
        else if (extra < 11)
            ajouter(QVariant(), u"D100"_s, 1.0, jour);
        else if (extra < 12)
            ajouter(n, u"   "_s, 1.0, jour);
        else if (extra < 13)
            ajouter(n, QVariant(), 1.0, jour);
    }
    return s;
}

} // namespace cc::test::modele
