#include "app/FenetreControle.h"
#include "app/Lot.h"
#include "app/OptionsLot.h"
#include "app/StyleFenetre.h"
#include "app/TerminalLot.h"
#include "app/Traductions.h"
#include "commun/CodesSortie.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#ifdef Q_OS_WIN
#include <QStringDecoder>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
// The program is a window program, so that Explorer opens no console beside the window. Started with
// arguments from a command prompt, it writes to that prompt's console, in UTF-16 so that the accents
// show whatever the console's code page; output sent to a file or a pipe stays there, in UTF-8.
class Console final : public QIODevice {
public:
    explicit Console(HANDLE h) : h_(h) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* octets, qint64 n) override {
        const QString texte = decodeur_(QByteArrayView(octets, n));
        DWORD ecrits = 0;
        WriteConsoleW(h_, texte.utf16(), DWORD(texte.size()), &ecrits, nullptr);
        return n;
    }

private:
    HANDLE h_;
    QStringDecoder decodeur_{QStringDecoder::Utf8};
};

std::unique_ptr<QIODevice> versConsole(DWORD quelle) {
    HANDLE h = GetStdHandle(quelle);
    DWORD mode = 0;
    if (h != nullptr && h != INVALID_HANDLE_VALUE) {
        if (GetConsoleMode(h, &mode))
            return std::make_unique<Console>(h);
        // A file or a pipe; a console handle of a console this process is not attached to reads as
        // unknown.
        if (GetFileType(h) != FILE_TYPE_UNKNOWN)
            return nullptr;
    }
    // Fails harmlessly when already attached, or when the parent has no console (Explorer).
    AttachConsole(ATTACH_PARENT_PROCESS);
    h = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::make_unique<Console>(h);
}
#else
std::unique_ptr<QIODevice> versConsole(int) {
    return nullptr;
}
constexpr int STD_OUTPUT_HANDLE = 1;
constexpr int STD_ERROR_HANDLE = 2;
#endif

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
        const std::unique_ptr<QIODevice> consoleSortie = versConsole(STD_OUTPUT_HANDLE);
        const std::unique_ptr<QIODevice> consoleErreurs = versConsole(STD_ERROR_HANDLE);
        QTextStream sortie(stdout);
        QTextStream erreurs(stderr);
        if (consoleSortie)
            sortie.setDevice(consoleSortie.get());
        if (consoleErreurs)
            erreurs.setDevice(consoleErreurs.get());
#ifdef Q_OS_WIN
        const bool terminal = consoleErreurs != nullptr;
#else
        const bool terminal = ::isatty(STDERR_FILENO) != 0;
#endif
        // The arguments as Qt decodes them (wide characters on Windows).
        return cc::ExecuterLot(QCoreApplication::arguments().mid(1), QCoreApplication::applicationDirPath(),
                               cc::HorlogeSysteme(), sortie, erreurs, terminal);
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
        QTextStream(stderr) << cc::TexteErreurUsage(QStringLiteral("argument inattendu : ") + reste.first());
        return cc::SortieUsage;
    }
    QGuiApplication::setDesktopFileName(QStringLiteral("controle-coherence"));
#ifdef Q_OS_WIN
    // The static Qt reads no SVG: every window takes the icon's .ico form, made from the same drawing.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/controle-coherence.ico")));
#endif
    cc::InstallerStyleFenetre();
    cc::ChargerTraductionsQt();
    cc::FenetreControle fenetre(QCoreApplication::applicationDirPath());
    if (!fenetre.Form_Load())
        return cc::SortieEchec;
    fenetre.show();
    return QApplication::exec();
}
