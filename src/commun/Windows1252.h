#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace cc {

// The ANSI code page of a French Windows, done by hand so that it never depends on the codecs Qt was
// built with. A character the code page lacks becomes "?".
QByteArray EncoderWindows1252(QStringView texte);
// The five bytes the code page leaves undefined map to the control characters of the same value.
QString DecoderWindows1252(QByteArrayView octets);

} // namespace cc
