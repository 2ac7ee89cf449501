#pragma once

#include "checks/ContexteControle.h"

namespace cc {

// Runs the direction that the options pick, from the selection to the last record.
void ExecuterVerification(const ContexteControle& contexte, const OptionsControle& options,
                          Compteurs& compteurs);

} // namespace cc
