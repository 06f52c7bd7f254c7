#pragma once
// Searching, comparing, case-mapping and replacing in 8-bit texts. Positions count from 1;
// 0 means none.

#include <bitset>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/case_mapping.h"

namespace runwarden {

// Bytes that begin a two-byte character in the ANSI code page of the thread locale's
// regional settings, which the text forms of dates follow; empty for single-byte code pages
// and for UTF-8 locales.
using LeadByteSet = std::bitset<256>;

// The lead bytes of the system's ANSI code page, in which the command line arrives: its
// splitting and the removal of option keys follow these. A type of its own, so that the
// locale's set, which differs where the user's locale and the system's code page differ,
// cannot be passed in its place, nor the reverse.
struct SystemLeadBytes {
  LeadByteSet bytes;
};

inline bool IsLeadByte(const LeadByteSet& leadBytes, char byte) {
  return leadBytes.test(static_cast<unsigned char>(byte));
}

inline bool IsLeadByte(const SystemLeadBytes& leadBytes, char byte) {
  return IsLeadByte(leadBytes.bytes, byte);
}

// Position of the first occurrence of part in text, case respected; 0 when either is
// empty or part does not occur.
std::size_t SubstringPosition(std::string_view part, std::string_view text);

// Same length, same bytes; case respected.
bool TextEquals(std::string_view a, std::string_view b);

// A to Z become a to z; every other byte stays.
std::string AsciiLowerCase(std::string_view text);

// The platform's locale-aware upper-casing; a to z always become A to Z and the length
// never changes.
std::string LocaleUpperCase(CaseMapping& caseMapping, std::string_view text);

// Every non-overlapping occurrence of pattern, found without regard to case and never
// starting on the trail byte of a double-byte character of the system's code page,
// replaced by replacement. The
// bytes that are not replaced come from text unchanged.
std::string ReplaceAllIgnoringCase(std::string_view text, std::string_view pattern,
                                   std::string_view replacement,
                                   const SystemLeadBytes& leadBytes, CaseMapping& caseMapping);

}  // namespace runwarden
