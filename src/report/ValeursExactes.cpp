#include "report/ValeursExactes.h"

#include "report/Sha256.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>

#include <array>
#include <charconv>
#include <cmath>

namespace cc {

namespace {

// The JSON text of a string, every character kept; control characters escaped so that the cell holds
// no line end. Appended to r: the encoder builds one text per row, without a string per value.
void ajouterChaineJson(QString& r, QStringView texte) {
    r += u'"';
    // Runs of plain characters are appended whole.
    qsizetype debut = 0;
    for (qsizetype i = 0; i < texte.size(); ++i) {
        const QChar c = texte[i];
        if (c != u'"' && c != u'\\' && c.unicode() >= 0x20)
            continue;
        r += texte.mid(debut, i - debut);
        if (c.unicode() < 0x20) {
            r += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
        } else {
            r += u'\\';
            r += c;
        }
        debut = i + 1;
    }
    r += texte.mid(debut);
    r += u'"';
}

void ajouterEtiquette(QString& r, const char* nom, QStringView valeur) {
    r += QLatin1String("{\"");
    r += QLatin1String(nom);
    r += QLatin1String("\":");
    r += valeur;
    r += u'}';
}

void ajouterEtiquetteChaine(QString& r, const char* nom, const QString& valeur) {
    QString chaine;
    ajouterChaineJson(chaine, valeur);
    ajouterEtiquette(r, nom, chaine);
}

// The shortest text that reads back to the same double, with a "." or an exponent so that it reads back
// as a double and not as an integer.
QString reelJson(double valeur) {
    std::array<char, 32> tampon{};
    const auto fin = std::to_chars(tampon.data(), tampon.data() + tampon.size(), valeur).ptr;
    QString t = QString::fromLatin1(tampon.data(), fin - tampon.data());
    if (!t.contains(u'.') && !t.contains(u'e'))
        t += QStringLiteral(".0");
    return t;
}

void ajouterValeurJson(QString& r, const QVariant& v) {
    // A null text is bound as Null by the drivers: it is recorded as one.
    if (!v.isValid() || v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isNull())) {
        r += QLatin1String("null");
        return;
    }
    switch (v.typeId()) {
    case QMetaType::QString:
        ajouterChaineJson(r, v.toString());
        return;
    case QMetaType::Double: {
        const double d = v.toDouble();
        if (!std::isfinite(d))
            ajouterEtiquetteChaine(r, "reel", QString::number(d));
        else
            r += reelJson(d);
        return;
    }
    case QMetaType::LongLong:
        r += QString::number(v.toLongLong());
        return;
    case QMetaType::Int:
        ajouterEtiquette(r, "int", QString::number(v.toInt()));
        return;
    case QMetaType::UInt:
        ajouterEtiquette(r, "uint", QString::number(v.toUInt()));
        return;
    case QMetaType::ULongLong:
        ajouterEtiquette(r, "ulonglong", QString::number(v.toULongLong()));
        return;
    case QMetaType::Bool:
        ajouterEtiquette(r, "bool", v.toBool() ? QStringView(u"true") : QStringView(u"false"));
        return;
    case QMetaType::Float:
        ajouterEtiquette(r, "float", reelJson(double(v.toFloat())));
        return;
    case QMetaType::QDateTime:
        ajouterEtiquetteChaine(r, "date", v.toDateTime().toString(Qt::ISODateWithMs));
        return;
    case QMetaType::QDate:
        ajouterEtiquetteChaine(r, "jour", v.toDate().toString(Qt::ISODate));
        return;
    case QMetaType::QTime:
        ajouterEtiquetteChaine(r, "heure", v.toTime().toString(Qt::ISODateWithMs));
        return;
    case QMetaType::QByteArray:
        ajouterEtiquetteChaine(r, "octets", QString::fromLatin1(v.toByteArray().toBase64()));
        return;
    default:
        ajouterEtiquetteChaine(r, "texte", v.toString());
        return;
    }
}

void ajouterRangeeJson(QString& r, const RangeeExacte& rangee) {
    r += u'{';
    bool premiere = true;
    for (const ValeurExacte& v : rangee) {
        if (!premiere)
            r += u',';
        premiere = false;
        ajouterChaineJson(r, v.colonne);
        r += u':';
        ajouterValeurJson(r, v.valeur);
    }
    r += u'}';
}

// A JSON number read back exactly as std::to_chars wrote it, the whole text.
std::optional<double> reel(const QString& texte) {
    const QByteArray octets = texte.toLatin1();
    double d = 0;
    const auto [fin, ec] = std::from_chars(octets.constData(), octets.constData() + octets.size(), d);
    if (ec != std::errc() || fin != octets.constData() + octets.size())
        return std::nullopt;
    return d;
}

// Reads the JSON that the encoder writes, no more: objects, strings, numbers, null, true and false.
class Lecteur {
public:
    explicit Lecteur(QStringView texte) : texte_(texte) {}

    std::optional<ValeursExactes> valeurs() {
        ValeursExactes v;
        bool execution = false;
        bool ecrit = false;
        const bool ok = objet([&](const QString& cle) {
            if (cle == u"execution" && !execution) {
                const auto t = chaine();
                execution = t.has_value();
                v.execution = t.value_or(QString());
                return execution;
            }
            if (cle == u"ecrit" && !ecrit) {
                ecrit = rangee(v.ecrit);
                return ecrit;
            }
            if (cle == u"avant" && !v.avant) {
                v.avant.emplace();
                return rangee(*v.avant);
            }
            return false;
        });
        if (!ok || !execution || !ecrit || (espaces(), i_ != texte_.size()))
            return std::nullopt;
        return v;
    }

private:
    void espaces() {
        while (i_ < texte_.size() && (texte_[i_] == u' ' || texte_[i_] == u'\t'))
            ++i_;
    }
    bool lire(QChar c) {
        espaces();
        if (i_ < texte_.size() && texte_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    bool mot(QStringView m) {
        espaces();
        if (!texte_.mid(i_).startsWith(m))
            return false;
        i_ += m.size();
        return true;
    }
    // Each member in turn, told by its key to membre, which reads its value.
    template <typename Membre> bool objet(Membre membre) {
        if (!lire(u'{'))
            return false;
        if (lire(u'}'))
            return true;
        do {
            const auto cle = chaine();
            if (!cle || !lire(u':') || !membre(*cle))
                return false;
        } while (lire(u','));
        return lire(u'}');
    }
    std::optional<QString> chaine() {
        if (!lire(u'"'))
            return std::nullopt;
        QString r;
        while (i_ < texte_.size()) {
            const QChar c = texte_[i_++];
            if (c == u'"')
                return r;
            if (c != u'\\') {
                r += c;
                continue;
            }
            if (i_ >= texte_.size())
                return std::nullopt;
            const QChar e = texte_[i_++];
            if (e == u'u') {
                bool ok = false;
                const uint code = i_ + 4 <= texte_.size() ? texte_.mid(i_, 4).toUInt(&ok, 16) : 0;
                if (!ok)
                    return std::nullopt;
                r += QChar(char16_t(code));
                i_ += 4;
            } else if (e == u'n') {
                r += u'\n';
            } else if (e == u'r') {
                r += u'\r';
            } else if (e == u't') {
                r += u'\t';
            } else if (e == u'"' || e == u'\\' || e == u'/') {
                r += e;
            } else {
                return std::nullopt;
            }
        }
        return std::nullopt;
    }
    // A JSON number's text, as it stands.
    QString nombre() {
        espaces();
        const qsizetype debut = i_;
        while (i_ < texte_.size() && (texte_[i_].isDigit() || QStringView(u"+-.eE").contains(texte_[i_])))
            ++i_;
        return texte_.mid(debut, i_ - debut).toString();
    }
    std::optional<QVariant> valeur() {
        espaces();
        if (i_ >= texte_.size())
            return std::nullopt;
        const QChar c = texte_[i_];
        if (c == u'"') {
            const auto t = chaine();
            return t ? std::optional<QVariant>(*t) : std::nullopt;
        }
        if (mot(u"null"))
            return QVariant();
        if (c == u'{')
            return etiquetee();
        const QString n = nombre();
        bool ok = false;
        if (n.contains(u'.') || n.contains(u'e') || n.contains(u'E')) {
            const auto d = reel(n);
            return d ? std::optional<QVariant>(*d) : std::nullopt;
        }
        const qlonglong entier = QLocale::c().toLongLong(n, &ok);
        return ok ? std::optional<QVariant>(entier) : std::nullopt;
    }
    std::optional<bool> booleen() {
        if (mot(u"true"))
            return true;
        if (mot(u"false"))
            return false;
        return std::nullopt;
    }
    // A value of a type tagged by the encoder.
    std::optional<QVariant> etiquetee() {
        std::optional<QVariant> r;
        const bool ok = objet([&](const QString& cle) {
            if (r)
                return false;
            bool lu = false;
            if (cle == u"bool") {
                if (const auto b = booleen())
                    r = QVariant(*b);
                return r.has_value();
            }
            if (cle == u"int" || cle == u"uint" || cle == u"ulonglong" || cle == u"float") {
                const QString n = nombre();
                if (cle == u"int")
                    r = QVariant(QLocale::c().toInt(n, &lu));
                else if (cle == u"uint")
                    r = QVariant(QLocale::c().toUInt(n, &lu));
                else if (cle == u"ulonglong")
                    r = QVariant(QLocale::c().toULongLong(n, &lu));
                else if (const auto d = reel(n); (lu = d.has_value()))
                    r = QVariant(float(*d));
                return lu;
            }
            const auto t = chaine();
            if (!t)
                return false;
            if (cle == u"reel") {
                r = QVariant(t->toDouble(&lu));
            } else if (cle == u"date") {
                const QDateTime d = QDateTime::fromString(*t, Qt::ISODateWithMs);
                lu = d.isValid();
                r = QVariant(d);
            } else if (cle == u"jour") {
                const QDate d = QDate::fromString(*t, Qt::ISODate);
                lu = d.isValid();
                r = QVariant(d);
            } else if (cle == u"heure") {
                const QTime h = QTime::fromString(*t, Qt::ISODateWithMs);
                lu = h.isValid();
                r = QVariant(h);
            } else if (cle == u"octets") {
                const auto b =
                    QByteArray::fromBase64Encoding(t->toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
                lu = bool(b);
                r = QVariant(*b);
            } else if (cle == u"texte") {
                lu = true;
                r = QVariant(*t);
            }
            return lu;
        });
        return ok ? r : std::nullopt;
    }
    bool rangee(RangeeExacte& rangee) {
        return objet([&](const QString& cle) {
            const auto v = valeur();
            if (v)
                rangee.push_back({cle, *v});
            return v.has_value();
        });
    }

    QStringView texte_;
    qsizetype i_ = 0;
};

} // namespace

QString EncoderValeursExactes(const ValeursExactes& v) {
    QString r;
    r.reserve(512);
    r += QLatin1String("{\"execution\":");
    ajouterChaineJson(r, v.execution);
    r += QLatin1String(",\"ecrit\":");
    ajouterRangeeJson(r, v.ecrit);
    if (v.avant) {
        r += QLatin1String(",\"avant\":");
        ajouterRangeeJson(r, *v.avant);
    }
    r += u'}';
    return r;
}

std::optional<ValeursExactes> DecoderValeursExactes(QStringView texte) {
    return Lecteur(texte).valeurs();
}

QString ControleConstat(const QString& sens, const QString& base, const QString& groupe,
                        const QString& action, const QString& constat, const QString& ligne,
                        const QString& valeursExactes) {
    const QChar separateur(u'\x1f');
    QString texte;
    texte.reserve(sens.size() + base.size() + groupe.size() + action.size() + constat.size() + ligne.size() +
                  valeursExactes.size() + 6);
    for (const QString* morceau : {&sens, &base, &groupe, &action, &constat, &ligne}) {
        texte += *morceau;
        texte += separateur;
    }
    texte += valeursExactes;
    const auto empreinte = Sha256(texte.toUtf8());
    // The leading letter keeps a spreadsheet from taking the value for a number (0123… loses its zero,
    // 12e4… overflows) when it saves the file again.
    return u'c' + QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(empreinte.data()), 8).toHex());
}

QString NeutraliserFormule(const QString& texte) {
    if (!texte.isEmpty() && QStringView(u"=+-@\t\r'").contains(texte.front()))
        return u'\'' + texte;
    return texte;
}

QString RetablirFormule(const QString& texte) {
    return texte.startsWith(u'\'') ? texte.mid(1) : texte;
}

} // namespace cc
