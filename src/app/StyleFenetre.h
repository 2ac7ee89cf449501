#pragma once

namespace cc {

// The application's style with a focus mark that can be seen: a solid frame in the highlight colour
// wherever the style marks the focus, whether it came from the keyboard or from the mouse.
void InstallerStyleFenetre();

} // namespace cc
