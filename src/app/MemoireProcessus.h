#pragma once

namespace cc {

// The peak of this program's own memory so far, in KiB; -1 when the system does not say.
long MemoireMaximaleKo();

} // namespace cc
