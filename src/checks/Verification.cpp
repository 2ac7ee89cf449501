#include "checks/Verification.h"

#include "checks/ControleFactCli.h"
#include "checks/ControleFactures.h"

namespace cc {

void ExecuterVerification(const ContexteControle& contexte, const OptionsControle& options,
                          Compteurs& compteurs) {
    if (options.aPartirDesFactures) {
        ControleFactures controle(contexte, options, compteurs);
        controle.ListerFactures();
        controle.ParcourirFactures();
    } else {
        ControleFactCli controle(contexte, options, compteurs);
        controle.ListerFactCli();
        controle.ParcourirFactCli();
    }
}

} // namespace cc
