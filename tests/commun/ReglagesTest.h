#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <memory>

namespace cc::test {

// The host product's settings, where the program reads them: on Linux the file
// <configuration>/VB and VBA Program Settings/VENDRAX9.conf (configuration being the XDG_CONFIG_HOME of
// the run), on Windows the current user's registry key (the tests run in a Wine prefix of their own,
// and take turns with it).
std::unique_ptr<QSettings> reglagesHote(const QString& configuration);

// Replaces the settings with those of an INI text as the host product's Linux settings file holds it;
// a null text leaves none. On Windows the same keys and values go into the registry.
void remplacerReglagesHote(const QString& configuration, const QByteArray& ini);

} // namespace cc::test
