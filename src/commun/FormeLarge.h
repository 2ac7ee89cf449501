#pragma once

#include <QString>
#include <QStringView>

namespace cc {

// The form under which any database's way of comparing texts might find two numbers equal: letters
// and digits alone, without accents, case folded. Two numbers a database finds equal have the same
// form here (the converse need not hold: the form only tells what may have to be asked again).
QString FormeLarge(QStringView texte);

} // namespace cc
