// A unit's last run from its journal entries.
#ifndef __linux__
#error "journal_run_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/journal_run_linux.h"

#include <algorithm>
#include <charconv>

#include "platform/linux/unit_run_record_linux.h"

namespace runwarden {
namespace {

// The manager's messages about a run's end.
constexpr std::string_view kProcessExited = "98e322203f7a4ed290d09fe03c09fe15";
constexpr std::string_view kUnitFailed = "d9b373ed55a64feb8242e02dbe79a49c";
constexpr std::string_view kUnitSucceeded = "7ad2d189f7e94e70a38c781354912448";

std::int32_t NumberOr(std::string_view text, std::int32_t fallback) {
  std::int32_t value = fallback;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// waitid()'s CLD_* code of EXIT_CODE's name.
std::int32_t ExitCodeKind(std::string_view name) {
  if (name == "exited") return 1;
  if (name == "killed") return 2;
  if (name == "dumped") return 3;
  return 0;
}

// A minimal reader of the flat objects that journalctl writes, one per line.
class JsonLine {
 public:
  explicit JsonLine(std::string_view text) : text_(text) {}

  bool Object(const JournalFields& fields, JournalEntry& entry) {
    if (!Take('{')) return false;
    if (Take('}')) return true;
    do {
      std::string name, value;
      if (!String(name) || !Take(':') || !Value(value)) return false;
      if (name == "__REALTIME_TIMESTAMP") {
        std::from_chars(value.data(), value.data() + value.size(), entry.realtime);
      } else {
        KeepJournalField(name, std::move(value), fields, entry);
      }
    } while (Take(','));
    return Take('}');
  }

 private:
  void Blanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) ++at_;
  }
  bool Take(char c) {
    Blanks();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  // A string, a number, null, or an array of byte values (kept as those bytes).
  bool Value(std::string& value) {
    Blanks();
    if (at_ >= text_.size()) return false;
    if (text_[at_] == '"') return String(value);
    if (Take('[')) {
      if (Take(']')) return true;
      do {
        std::string number;
        if (!Bare(number)) return false;
        value += static_cast<char>(NumberOr(number, '?'));
      } while (Take(','));
      return Take(']');
    }
    return Bare(value);
  }
  bool Bare(std::string& value) {
    Blanks();
    const std::size_t start = at_;
    while (at_ < text_.size() && std::string_view(",]} \t").find(text_[at_]) == std::string_view::npos) {
      ++at_;
    }
    value.assign(text_.substr(start, at_ - start));
    if (value == "null") value.clear();
    return at_ > start;
  }
  bool String(std::string& value) {
    if (!Take('"')) return false;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (c != '\\') {
        value += c;
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char escaped = text_[at_++];
      switch (escaped) {
        case 'b': value += '\b'; break;
        case 'f': value += '\f'; break;
        case 'n': value += '\n'; break;
        case 'r': value += '\r'; break;
        case 't': value += '\t'; break;
        case 'u': if (!Unicode(value)) return false; break;
        default: value += escaped; break;
      }
    }
    return false;
  }
  bool Hex4(std::uint32_t& unit) {
    if (at_ + 4 > text_.size()) return false;
    const auto [end, error] = std::from_chars(text_.data() + at_, text_.data() + at_ + 4, unit, 16);
    if (error != std::errc{} || end != text_.data() + at_ + 4) return false;
    at_ += 4;
    return true;
  }
  // \uXXXX, a surrogate pair joined, as UTF-8.
  bool Unicode(std::string& value) {
    std::uint32_t code = 0;
    if (!Hex4(code)) return false;
    if (code >= 0xD800 && code < 0xDC00 && text_.substr(at_, 2) == "\\u") {
      at_ += 2;
      std::uint32_t low = 0;
      if (!Hex4(low)) return false;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    if (code < 0x80) {
      value += static_cast<char>(code);
    } else if (code < 0x800) {
      value += static_cast<char>(0xC0 | code >> 6);
      value += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      value += static_cast<char>(0xE0 | code >> 12);
      value += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      value += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      value += static_cast<char>(0xF0 | code >> 18);
      value += static_cast<char>(0x80 | (code >> 12 & 0x3F));
      value += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      value += static_cast<char>(0x80 | (code & 0x3F));
    }
    return true;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

void KeepJournalField(std::string_view name, std::string value, const JournalFields& fields,
                      JournalEntry& entry) {
  if (name == fields.managerInvocation) {
    entry.managerInvocation = std::move(value);
  } else if (name == fields.ownInvocation) {
    entry.ownInvocation = std::move(value);
  } else if (name == "MESSAGE_ID") {
    entry.messageId = std::move(value);
  } else if (name == "EXIT_CODE") {
    entry.exitCode = std::move(value);
  } else if (name == "EXIT_STATUS") {
    entry.exitStatus = std::move(value);
  } else if (name == "UNIT_RESULT") {
    entry.unitResult = std::move(value);
  } else if (name == "MESSAGE") {
    entry.message = std::move(value);
  }
}

// Entries of one invocation follow each other; its oldest is the manager's message of its
// start, and a manager's message of another invocation after that belongs to an earlier run.
std::optional<JournalRun> LastRunOfEntries(const std::vector<JournalEntry>& newestFirst) {
  std::string invocation;
  JournalRun run;
  bool ended = false, succeeded = false;
  std::string exitCode, exitStatus, unitResult;
  for (const JournalEntry& entry : newestFirst) {
    const std::string& id =
        entry.managerInvocation.empty() ? entry.ownInvocation : entry.managerInvocation;
    if (id.empty()) continue;
    if (invocation.empty()) invocation = id;
    if (id != invocation) {
      if (!entry.managerInvocation.empty() && run.start != 0) break;
      continue;
    }
    if (entry.managerInvocation.empty()) {
      if (run.lines.size() < kMostLogLines) run.lines.push_back(entry.message);
      continue;
    }
    run.start = entry.realtime;
    // Newest first: the first end seen is the last one logged.
    if (entry.messageId == kUnitSucceeded) {
      if (!ended) succeeded = true;
      ended = true;
    } else if (entry.messageId == kProcessExited && exitCode.empty()) {
      exitCode = entry.exitCode;
      exitStatus = entry.exitStatus;
      ended = true;
    } else if (entry.messageId == kUnitFailed && unitResult.empty()) {
      unitResult = entry.unitResult;
      ended = true;
    }
  }
  if (invocation.empty()) return std::nullopt;
  std::reverse(run.lines.begin(), run.lines.end());
  if (ended && !succeeded) {
    run.exitCode = ServiceExitCode(ExitCodeKind(exitCode), NumberOr(exitStatus, 0), unitResult);
  }
  return run;
}

bool ParseJournalJsonLine(std::string_view line, const JournalFields& fields,
                          JournalEntry& entry) {
  entry = JournalEntry{};
  return JsonLine(line).Object(fields, entry);
}

std::string JournalOutputFields(const JournalFields& fields) {
  return std::string(fields.managerInvocation) + "," + std::string(fields.ownInvocation) +
         ",MESSAGE_ID,EXIT_CODE,EXIT_STATUS,UNIT_RESULT,MESSAGE";
}

}  // namespace runwarden
