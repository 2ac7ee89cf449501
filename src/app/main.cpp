#include "app/FenetreControle.h"
#include "app/Lot.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

namespace {

bool affichageDisponible() {
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        // With arguments: one check without any window and without a display.
        QCoreApplication app(argc, argv);
        QTextStream sortie(stdout);
        QTextStream erreurs(stderr);
        QStringList arguments = QCoreApplication::arguments();
        arguments.removeFirst();
        return cc::ExecuterLot(arguments, QCoreApplication::applicationDirPath(), cc::HorlogeSysteme(),
                               sortie, erreurs);
    }
    if (!affichageDisponible()) {
        std::fputs("Aucun affichage n'est disponible : la fenêtre ne peut pas s'ouvrir.\n"
                   "Pour un contrôle sans fenêtre : controle-coherence --help\n",
                   stderr);
        return cc::SortieEchec;
    }
    QApplication app(argc, argv);
    cc::FenetreControle fenetre(QCoreApplication::applicationDirPath());
    if (!fenetre.Form_Load())
        return cc::SortieEchec;
    fenetre.show();
    return QApplication::exec();
}
