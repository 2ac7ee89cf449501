#include "app/FenetreControle.h"
#include "app/Lot.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIODevice>
#include <QTextStream>
#include <cstdio>
#include <memory>

#ifdef Q_OS_WIN
#include <QStringDecoder>
#include <windows.h>
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
        const std::unique_ptr<QIODevice> consoleSortie = versConsole(STD_OUTPUT_HANDLE);
        const std::unique_ptr<QIODevice> consoleErreurs = versConsole(STD_ERROR_HANDLE);
        QTextStream sortie(stdout);
        QTextStream erreurs(stderr);
        if (consoleSortie)
            sortie.setDevice(consoleSortie.get());
        if (consoleErreurs)
            erreurs.setDevice(consoleErreurs.get());
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
