// The window's style: a chosen day that can be seen in a calendar without the focus, and check boxes
// that grow with their text where the base style draws them at a size of its own.
#include "app/StyleFenetre.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QImage>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>
#include <QTest>

using namespace Qt::StringLiterals;

class TestStyleFenetre : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { cc::InstallerStyleFenetre(); }
    void jourChoisiSansFocus();
    void caseACocher_data();
    void caseACocher();
};

// Two calendars side by side, the focus in the first: the second's chosen day is drawn in the
// highlight colour the focused one uses, even from a system palette whose selection without the focus
// is a faint grey (as Windows' is).
void TestStyleFenetre::jourChoisiSansFocus() {
    QPalette systeme = QApplication::palette();
    systeme.setColor(QPalette::Inactive, QPalette::Highlight, QColor(240, 240, 240));
    systeme.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
    QApplication::style()->polish(systeme);
    QWidget fenetre;
    fenetre.setPalette(systeme);
    auto* debut = new QCalendarWidget(&fenetre);
    auto* fin = new QCalendarWidget(&fenetre);
    fin->move(debut->sizeHint().width() + 10, 0);
    fenetre.resize(2 * debut->sizeHint().width() + 20, debut->sizeHint().height());
    fenetre.show();
    QApplication::setActiveWindow(&fenetre);
    QVERIFY(QTest::qWaitForWindowActive(&fenetre));
    const QDate jour(2024, 3, 14);
    debut->setSelectedDate(jour);
    fin->setSelectedDate(jour);
    debut->setFocus();
    QTRY_VERIFY(debut->findChild<QTableView*>()->hasFocus());

    const QColor attendue = fin->palette().color(QPalette::Active, QPalette::Highlight);
    for (QCalendarWidget* c : {debut, fin}) {
        auto* table = c->findChild<QTableView*>();
        // The day's cell: the one whose text is the day, in the rows of days.
        QModelIndex cellule;
        for (int ligne = 1; ligne < table->model()->rowCount() && !cellule.isValid(); ++ligne)
            for (int col = 1; col < table->model()->columnCount(); ++col) {
                const QModelIndex i = table->model()->index(ligne, col);
                if (table->selectionModel()->isSelected(i))
                    cellule = i;
            }
        QVERIFY(cellule.isValid());
        const QImage image = table->viewport()->grab().toImage();
        const QRect r = table->visualRect(cellule);
        // A corner of the cell, away from the digits.
        const QColor vue = image.pixelColor(r.left() + 2, r.top() + 2);
        QVERIFY2(vue == attendue,
                 qPrintable(u"%1: %2 instead of %3"_s.arg(c == debut ? u"focused"_s : u"unfocused"_s,
                                                          vue.name(), attendue.name())));
    }
}

// Whatever the text's size, the box is about as tall as the text and drawn to fill its place, not at
// the base style's size in a corner of it.
void TestStyleFenetre::caseACocher_data() {
    QTest::addColumn<int>("points");
    QTest::newRow("9 points") << 9;
    QTest::newRow("24 points") << 24;
    QTest::newRow("48 points") << 48;
}

void TestStyleFenetre::caseACocher() {
    QFETCH(int, points);
    QCheckBox boite(u"Ajouter"_s);
    QFont police = boite.font();
    police.setPointSize(points);
    boite.setFont(police);
    boite.setChecked(true);
    boite.resize(boite.sizeHint());
    QStyleOptionButton option;
    option.initFrom(&boite);
    const QRect indicateur = boite.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &boite);
    const int texte = boite.fontMetrics().height();
    QVERIFY2(indicateur.height() >= texte * 3 / 4,
             qPrintable(u"box %1 px for text %2 px"_s.arg(indicateur.height()).arg(texte)));

    // The marks drawn in the box's place span most of it.
    const QImage image = boite.grab().toImage();
    const QColor fond = image.pixelColor(indicateur.center().x(), 0);
    QRect trace;
    for (int y = indicateur.top(); y <= indicateur.bottom(); ++y)
        for (int x = indicateur.left(); x <= indicateur.right(); ++x)
            if (image.pixelColor(x, y) != fond)
                trace |= QRect(x, y, 1, 1);
    QVERIFY2(trace.width() * 10 >= indicateur.width() * 8 && trace.height() * 10 >= indicateur.height() * 8,
             qPrintable(u"drawn %1x%2 in a box of %3x%4"_s.arg(trace.width())
                            .arg(trace.height())
                            .arg(indicateur.width())
                            .arg(indicateur.height())));
}

QTEST_MAIN(TestStyleFenetre)
#include "tst_StyleFenetre.moc"
