#pragma once
// Locale-aware upper-casing of 8-bit texts.

#include <cstdint>

namespace runwarden {

class CaseMapping {
 public:
  virtual ~CaseMapping() = default;
  // CharUpperBuffA: upper-cases length bytes of text in place by the user's locale; a to z
  // always become A to Z and the length never changes. Returns the bytes processed.
  virtual std::uint32_t CharUpperBuffA(char* text, std::uint32_t length) = 0;
};

}  // namespace runwarden
