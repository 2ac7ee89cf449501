#pragma once

#include <QString>
#include <optional>

namespace cc::outils {

// A whole number given on the command line, within its bounds; nothing when it is not one.
inline std::optional<qint64> entier(const QString& texte, qint64 min, qint64 max) {
    bool ok = false;
    const qint64 v = texte.toLongLong(&ok);
    if (!ok || v < min || v > max)
        return std::nullopt;
    return v;
}

} // namespace cc::outils
