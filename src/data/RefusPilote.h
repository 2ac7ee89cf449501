#pragma once

// What a run cannot do through the driver of the connection, said before anything is read or
// written, so that no run stops on its first statement after an empty report.

#include "data/Connexion.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace cc {

// The tables the checks read and write.
QStringList TablesControlees();

// Why no run can be made through this connection (with writes when ecritures), in French; nothing when
// the driver has no known limit. designation: the database as messages name it. On a driver with
// limits, the tables it lacks are named first: the file is then no company database at all.
std::optional<QString> RefusPilote(const Connexion& connexion, const QString& designation, bool ecritures);

} // namespace cc
