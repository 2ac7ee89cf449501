#include "Plancher.h"

#include "ConnexionOutil.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <stdexcept>

namespace cc::banc {

namespace {

// A connection for the life of the object.
class Lecture {
public:
    explicit Lecture(const Source& s)
        : connexion_(s.pilote, s.base, s.options, s.utilisateur, s.motDePasse) {}
    QSqlQuery executer(const QString& sql, const QVariantList& valeurs) const {
        return connexion_.executer(sql, valeurs);
    }

private:
    outils::ConnexionOutil connexion_;
};

struct Lecture1 {
    QString table;
    QString sql;
};

// The queries of the floor. The period is bound as the program binds it: SQLite keeps days as ISO
// text, so the last day also takes "yyyy-MM-dd 00:00:00" and nothing later; a server gets dates.
QList<Lecture1> requetes(Sens sens) {
    const QString periodeFactures =
        QStringLiteral("SELECT NUMERO_DE_FACTURE FROM FACTURES WHERE JOUR >= ? AND JOUR <= ?");
    const QString periodeFactCli =
        QStringLiteral("SELECT NUM_FACTURE FROM FACTCLI WHERE JOUR >= ? AND JOUR <= ?");
    if (sens == Sens::Factures)
        return {
            {QStringLiteral("FACTURES"),
             QStringLiteral(
                 "SELECT NUMERO_DE_FACTURE, JOUR, NUMERO_DE_DOSSIER, type_piece, flag_divers, Corps "
                 "FROM FACTURES WHERE JOUR >= ? AND JOUR <= ?")},
            {QStringLiteral("FACTURES_LIGNE"),
             QStringLiteral(
                 "SELECT NUMERO_DE_FACTURE, NUMERO_DE_LIGNE, TAUX_REMISE, MONTANT_REMISE, CODE_REMISE, "
                 "DESIGNATION_COMPLEMENT, REFERENCE_MATIERE_COMPLEMENT FROM FACTURES_LIGNE "
                 "WHERE NUMERO_DE_FACTURE IN (") +
                 periodeFactures + u')'},
            {QStringLiteral("FACTCLI"),
             QStringLiteral("SELECT NUM_FACTURE, NUM_DOSSIER, Montant FROM FACTCLI WHERE NUM_FACTURE IN (") +
                 periodeFactures + u')'},
        };
    // The FACTCLI-driven check needs the rows of the period and the header and lines of their
    // invoices, not the discount data.
    return {
        {QStringLiteral("FACTCLI"),
         QStringLiteral("SELECT NUM_FACTURE, NUM_DOSSIER FROM FACTCLI WHERE JOUR >= ? AND JOUR <= ?")},
        {QStringLiteral("FACTURES"),
         QStringLiteral("SELECT NUMERO_DE_FACTURE, JOUR, NUMERO_DE_DOSSIER, type_piece, flag_divers, Corps "
                        "FROM FACTURES WHERE NUMERO_DE_FACTURE IN (") +
             periodeFactCli + u')'},
    };
}

Plancher lireUneFois(const Lecture& lecture, const QList<Lecture1>& liste, const QVariantList& bornes) {
    Plancher p;
    QElapsedTimer chrono;
    chrono.start();
    qint64 caracteres = 0;
    for (const Lecture1& r : liste) {
        const qint64 avant = chrono.nsecsElapsed();
        QSqlQuery q = lecture.executer(r.sql, bornes);
        const int colonnes = q.record().count();
        qint64 n = 0;
        while (q.next()) {
            ++n;
            // Every value is fetched as the program would, as text.
            for (int c = 0; c < colonnes; ++c)
                caracteres += q.value(c).toString().size();
        }
        p.tables.append({r.table, n, chrono.nsecsElapsed() - avant});
        p.lignes += n;
    }
    p.dureeNs = chrono.nsecsElapsed();
    // Keeps the conversions from being skipped; the count itself is of no use.
    if (caracteres < 0)
        p.lignes = -1;
    return p;
}

} // namespace

Source Source::sqlite(const QString& chemin) {
    Source s;
    s.pilote = QStringLiteral("QSQLITE");
    s.base = chemin;
    s.options = outils::ConnexionOutil::lectureSeule();
    s.ordreFactCli = QStringLiteral("rowid");
    return s;
}

Plancher MesurerPlancher(const Source& source, const QDate& debut, const QDate& fin, Sens sens,
                         int repetitions) {
    const Lecture lecture(source);
    const QVariantList bornes = source.joursEnTexte
                                    ? QVariantList{debut.toString(QStringLiteral("yyyy-MM-dd")),
                                                   fin.toString(QStringLiteral("yyyy-MM-dd 00:00:00"))}
                                    : QVariantList{debut, fin};
    const QList<Lecture1> liste = requetes(sens);
    Plancher meilleur = lireUneFois(lecture, liste, bornes); // warms the cache, not counted
    for (int i = 0; i < repetitions; ++i) {
        Plancher p = lireUneFois(lecture, liste, bornes);
        if (i == 0 || p.dureeNs < meilleur.dureeNs)
            meilleur = std::move(p);
    }
    return meilleur;
}

QByteArray EmpreinteFactCli(const Source& source) {
    const Lecture lecture(source);
    QSqlQuery q =
        lecture.executer(QStringLiteral("SELECT * FROM FACTCLI ORDER BY ") + source.ordreFactCli, {});
    const int colonnes = q.record().count();
    // DATE_MAJ is the minute of the write: two runs a minute apart write different stamps.
    const int dateMaj = q.record().indexOf(QStringLiteral("DATE_MAJ"));
    QCryptographicHash h(QCryptographicHash::Sha256);
    while (q.next()) {
        for (int c = 0; c < colonnes; ++c) {
            if (c == dateMaj)
                continue;
            const QVariant v = q.value(c);
            // The type and a Null are part of the row: 12 and "12" or Null and "" are not the same.
            h.addData(QByteArray::number(v.isNull() ? -1 : v.typeId()));
            h.addData(QByteArrayView("\x1f"));
            h.addData(v.toString().toUtf8());
            h.addData(QByteArrayView("\x1e"));
        }
        h.addData(QByteArrayView("\n"));
    }
    return h.result();
}

} // namespace cc::banc
