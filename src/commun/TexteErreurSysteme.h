#pragma once

#include <QFileDevice>
#include <QString>

namespace cc {

// Why a file operation failed, in French, for every place that shows it: the system's own French text
// for the error number where the system has one, else a sentence of ours; with no error number (Qt
// on Windows sets none), a sentence for Qt's kind of failure.
QString TexteErreurFichier(const QFileDevice& fichier, int numeroErrno);

// The two halves, each usable alone.
QString TexteErreurSysteme(int numeroErrno);
QString TexteErreurQt(QFileDevice::FileError erreur);

} // namespace cc
