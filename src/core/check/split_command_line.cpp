#include "core/check/split_command_line.h"

namespace runwarden {
namespace {

bool IsSeparator(char byte) {
  const auto code = static_cast<unsigned char>(byte);
  return code >= 1 && code <= 32;
}

// Bytes taken by the character at position: two for a lead byte with a trail byte after
// it, else one.
std::size_t CharacterLength(std::string_view text, std::size_t position,
                            const SystemLeadBytes& leadBytes) {
  return IsLeadByte(leadBytes, text[position]) && position + 1 < text.size() ? 2 : 1;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view text, const SystemLeadBytes& leadBytes) {
  text = text.substr(0, text.find('\0'));
  std::vector<std::string> arguments;
  std::size_t at = 0;
  while (true) {
    // Separators and leading pairs of double quotes, in any mix, come before an argument.
    while (true) {
      while (at < text.size() && IsSeparator(text[at])) ++at;
      if (text.compare(at, 2, "\"\"") != 0) break;
      at += 2;
    }
    if (at == text.size()) return arguments;
    std::string argument;
    while (at < text.size() && !IsSeparator(text[at])) {
      if (text[at] != '"') {
        const std::size_t length = CharacterLength(text, at, leadBytes);
        argument.append(text, at, length);
        at += length;
        continue;
      }
      ++at;  // the opening quote; the stretch runs to the closing one or to the end
      while (at < text.size() && text[at] != '"') {
        const std::size_t length = CharacterLength(text, at, leadBytes);
        argument.append(text, at, length);
        at += length;
      }
      if (at < text.size()) ++at;  // the closing quote
    }
    arguments.push_back(std::move(argument));
  }
}

std::vector<std::string> ProgramArguments(const ProgramCommandLine& commandLine,
                                          const SystemLeadBytes& leadBytes) {
  if (!commandLine.isOneText) return commandLine.arguments;
  std::vector<std::string> arguments = SplitCommandLine(commandLine.text, leadBytes);
  if (!arguments.empty()) arguments.erase(arguments.begin());  // the program name
  return arguments;
}

}  // namespace runwarden
