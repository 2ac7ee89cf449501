#pragma once

// The exit statuses of the program and of its tools (the demo generator, the benchmark): a script
// tells them apart the same way whichever it started.

namespace cc {

// Ran to its end and found nothing.
inline constexpr int SortieRapportVide = 0;
// Ran to its end and found something: a line in the report, a differing amount left as it is, a row an
// undo left as it is; for the benchmark, runs whose outputs differ.
inline constexpr int SortieRapportNonVide = 1;
inline constexpr int SortieEchec = 2;
inline constexpr int SortieUsage = 64;
// Stopped by SIGINT or SIGTERM, as a shell reports a program ended by the signal.
inline constexpr int SortieInterruption = 130;
inline constexpr int SortieTerminaison = 143;

} // namespace cc
