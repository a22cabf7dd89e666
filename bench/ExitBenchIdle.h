#pragma once

// Figures of bench_exit about what conversations cost while nothing happens and what a crowd
// leaves behind, measured from outside the real program (/proc).

#include <QString>

namespace quillet::bench {

// With no conversation, then `few` idle ones, then `callers` idle ones and then after all of
// them have hung up (their tabs stay): the program's context switches over `seconds` (every
// thread's, each a wake-up), its threads, resident size and processor time. False when a step
// failed.
bool IdleFigure(const QString& binary, int few, int callers, int seconds);

// The resident size before, at the peak and 10 s after a crowd of `callers` connections: once
// for callers that never finish their names and hang up (nothing of them stays), once for
// callers that greet and hang up (their ended tabs stay). False when a step failed.
bool CrowdMemoryFigure(const QString& binary, int callers);

} // namespace quillet::bench
