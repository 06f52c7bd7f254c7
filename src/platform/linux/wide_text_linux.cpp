// Conversion of names between UTF-8, the texts of Linux, and UTF-16.
#ifndef __linux__
#error "wide_text_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/real_platform_linux.h"

namespace runwarden {
namespace {

// Decodes one UTF-8 sequence at bytes[i]; a malformed one gives U+FFFD for its first byte.
char32_t DecodeUtf8(const unsigned char* bytes, int count, int& i) {
  const unsigned char lead = bytes[i++];
  int length = 0;
  char32_t code = 0;
  if (lead < 0x80) return lead;
  if ((lead & 0xE0) == 0xC0) { length = 1; code = lead & 0x1F; }
  else if ((lead & 0xF0) == 0xE0) { length = 2; code = lead & 0x0F; }
  else if ((lead & 0xF8) == 0xF0) { length = 3; code = lead & 0x07; }
  else return 0xFFFD;
  if (i + length > count) return 0xFFFD;
  for (int k = 0; k < length; ++k) {
    if ((bytes[i + k] & 0xC0) != 0x80) return 0xFFFD;
    code = (code << 6) | (bytes[i + k] & 0x3F);
  }
  i += length;
  return code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ? 0xFFFD : code;
}

void AppendUtf8(std::string& text, char32_t code) {
  if (code < 0x80) {
    text += static_cast<char>(code);
  } else if (code < 0x800) {
    text += static_cast<char>(0xC0 | (code >> 6));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    text += static_cast<char>(0xE0 | (code >> 12));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | (code >> 18));
    text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

int LinuxWideText::MultiByteToWideChar(std::uint32_t, std::uint32_t, const char* bytes,
                                       int byteCount, char16_t* buffer, int capacity) {
  const auto* input = reinterpret_cast<const unsigned char*>(bytes);
  int written = 0;
  for (int i = 0; i < byteCount;) {
    const char32_t code = DecodeUtf8(input, byteCount, i);
    const int units = code > 0xFFFF ? 2 : 1;
    if (written + units > capacity) return 0;  // as Windows: too small a buffer is a failure
    if (units == 2) {
      buffer[written++] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      buffer[written++] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      buffer[written++] = static_cast<char16_t>(code);
    }
  }
  return written;
}

int LinuxWideText::WideCharToMultiByte(std::uint32_t, std::uint32_t, const char16_t* units,
                                       int unitCount, char* buffer, int capacity) {
  if (unitCount <= 0) return 0;
  const std::string utf8 = Utf8FromUtf16({units, static_cast<std::size_t>(unitCount)});
  if (utf8.size() > static_cast<std::size_t>(capacity)) return 0;
  utf8.copy(buffer, utf8.size());
  return static_cast<int>(utf8.size());
}

std::string Utf8FromUtf16(std::u16string_view text) {
  std::string utf8;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    AppendUtf8(utf8, code);
  }
  return utf8;
}


}  // namespace runwarden
