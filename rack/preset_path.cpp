#include "rack/preset_path.h"

#include <cstdint>

#include "platform/bundle_layout.h"

namespace tarnwell {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }
bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

}  // namespace

bool HasPresetExtension(std::string_view element) {
  const size_t dot = element.rfind('.');
  return dot != std::string_view::npos && dot > 0 && element.substr(dot) == kPresetExtension;
}

bool IsCloudText(std::string_view text) {
  return text == kCloudFolder || (text.size() >= 6 && text.substr(0, 6) == "Cloud/");
}

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<uint8_t>(text[i]);
    size_t length;
    uint32_t codePoint;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      codePoint = lead & 0x07;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      codePoint = (codePoint << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((length == 3 && codePoint < 0x800) || (length == 4 && (codePoint < 0x10000 || codePoint > 0x10FFFF)) ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

bool IsDeviceName(std::string_view element) {
  // Windows looks at the part before the first dot, trailing spaces and dots ignored.
  std::string_view stem = element.substr(0, element.find('.'));
  while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.remove_suffix(1);
  for (const char* name : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (EqualsIgnoringCase(stem, name)) return true;
  if (stem.size() < 4) return false;
  const std::string_view head = stem.substr(0, 3);
  if (!EqualsIgnoringCase(head, "COM") && !EqualsIgnoringCase(head, "LPT")) return false;
  const std::string_view digit = stem.substr(3);
  // 1 to 9, and the superscript digits that Windows also maps to ports.
  if (digit.size() == 1) return digit[0] >= '1' && digit[0] <= '9';
  return digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

std::string WithForwardSlashes(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

std::vector<std::string> SplitPathElements(std::string_view text) {
  std::vector<std::string> elements;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !IsSeparator(text[i])) continue;
    if (i > start) elements.emplace_back(text.substr(start, i - start));
    start = i + 1;
  }
  return elements;
}

std::optional<PresetPathElements> ValidatePresetPath(std::string_view text, bool cloud) {
  if (text.empty() || text.find('\0') != std::string_view::npos || !IsValidUtf8(text)) return std::nullopt;
  // Rooted ("\x", and "\\server" or "\\?\" with two), or on a drive ("C:\x" and "C:x").
  if (IsSeparator(text.front())) return std::nullopt;
  if (text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == ':') return std::nullopt;
  // A trailing separator leaves an empty last element.
  if (IsSeparator(text.back())) return std::nullopt;
  PresetPathElements elements = SplitPathElements(text);
  for (const std::string& element : elements) {
    if (element == "." || element == "..") return std::nullopt;
    // A colon names an alternate data stream; device names open ports, not files.
    if (element.find(':') != std::string::npos || IsDeviceName(element)) return std::nullopt;
  }
  if (!HasPresetExtension(elements.back())) return std::nullopt;
  if ((elements.front() == kCloudFolder) != cloud) return std::nullopt;
  return elements;
}

std::string SanitizePresetName(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    switch (c) {
      case '/':
      case '\\':
      case ':':
      case '*':
      case '?':
      case '"':
      case '<':
      case '>':
      case '|':
      case '\0':
        c = '-';
        break;
      default:
        break;
    }
  }
  const size_t first = out.find_first_not_of(" .");
  if (first == std::string::npos) return {};
  out.erase(0, first);
  out.erase(out.find_last_not_of(' ') + 1);
  return out;
}

std::string JoinPath(const std::string& folder, const PresetPathElements& elements) {
  std::string path = folder;
  for (const std::string& element : elements) {
    path += plugkit::platform::kPathSeparator;
    path += element;
  }
  return path;
}

std::string RootNameOf(std::string_view path) {
  if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') return std::string(path.substr(0, 2));
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // \\server\share: up to the separator after the share.
    size_t end = 2;
    for (int part = 0; part < 2 && end < path.size(); ++part) {
      while (end < path.size() && !IsSeparator(path[end])) ++end;
      if (part == 0 && end < path.size()) ++end;
    }
    return std::string(path.substr(0, end));
  }
  return {};
}

}  // namespace tarnwell
