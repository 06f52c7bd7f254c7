#pragma once
// The code page that the program's 8-bit texts are written in.

#include <cstdint>

namespace runwarden {

// CP_ACP: the system's ANSI code page, in which the command line arrives and so every name
// the program handles. (The thread locale's code page, CP_THREAD_ACP, can differ from it:
// a Japanese user locale on a Western system.)
inline constexpr std::uint32_t kAnsiCodePage = 0;

// CP_UTF8: the code page of the texts that monitoring engines read.
inline constexpr std::uint32_t kUtf8CodePage = 65001;

}  // namespace runwarden
