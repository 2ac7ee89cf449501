#include "app/FenetreControle.h"
#include "app/Lot.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <unistd.h>

namespace {

void sansAffichage() {
    std::fputs("controle-coherence: aucun affichage n'est disponible : la fenêtre ne peut pas s'ouvrir.\n"
               "Pour un contrôle sans fenêtre : controle-coherence --help\n",
               stderr);
}

bool affichageDeclare() {
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

// While the application object is made, Qt's messages are held back: a display that cannot be
// reached ends in a fatal message, which becomes ours and exit status 2 instead of an abort.
QtMessageHandler gestionnairePrecedent = nullptr;
struct MessageRetenu {
    QtMsgType type;
    const char* fichier;
    int ligne;
    const char* fonction;
    const char* categorie;
    QString texte;
};
std::vector<MessageRetenu>* messagesRetenus = nullptr;

void retenirMessage(QtMsgType type, const QMessageLogContext& contexte, const QString& texte) {
    if (type == QtFatalMsg) {
        sansAffichage();
        std::_Exit(cc::SortieEchec);
    }
    if (messagesRetenus)
        messagesRetenus->push_back(
            {type, contexte.file, contexte.line, contexte.function, contexte.category, texte});
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (cc::EstAppelLot(arguments)) {
        // The program's own options: one check without any window and without a display.
        QCoreApplication app(argc, argv);
        QTextStream sortie(stdout);
        QTextStream erreurs(stderr);
        return cc::ExecuterLot(arguments, QCoreApplication::applicationDirPath(), cc::HorlogeSysteme(),
                               sortie, erreurs, ::isatty(STDERR_FILENO) != 0);
    }
    if (!affichageDeclare()) {
        sansAffichage();
        return cc::SortieEchec;
    }
    std::vector<MessageRetenu> retenus;
    messagesRetenus = &retenus;
    gestionnairePrecedent = qInstallMessageHandler(retenirMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(gestionnairePrecedent);
    messagesRetenus = nullptr;
    for (const MessageRetenu& m : retenus)
        qt_message_output(m.type, QMessageLogContext(m.fichier, m.ligne, m.fonction, m.categorie), m.texte);

    // Qt has taken its own options (-style, -platform…); anything left is not understood.
    const QStringList reste = QCoreApplication::arguments().mid(1);
    if (!reste.isEmpty()) {
        QTextStream(stderr) << cc::PrefixeTerminal() << QStringLiteral("argument inattendu : ")
                            << reste.first() << QStringLiteral("\nEssayez « controle-coherence --help ».\n");
        return cc::SortieUsage;
    }
    QGuiApplication::setDesktopFileName(QStringLiteral("controle-coherence"));
    cc::FenetreControle fenetre(QCoreApplication::applicationDirPath());
    if (!fenetre.Form_Load())
        return cc::SortieEchec;
    fenetre.show();
    return QApplication::exec();
}
