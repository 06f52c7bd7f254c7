#pragma once
// The help output: a boxed banner in code page 437 box drawing, a one-line purpose and the
// usage text.

#include "platform/console.h"

namespace runwarden {

// The four box lines, the purpose line and an empty line.
void PrintBanner(Console& console);

void PrintUsage(Console& console);

}  // namespace runwarden
