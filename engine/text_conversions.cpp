#include "engine/text_conversions.h"

#include <cstdint>

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Length of the hexadecimal prefix at text[i], 0 when there is none.
std::size_t HexPrefixLength(const std::string& text, std::size_t i) {
  if (i >= text.size()) return 0;
  const char c = text[i];
  if (c == '$' || c == 'x' || c == 'X') return 1;
  if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) return 2;
  return 0;
}

}  // namespace

std::optional<int> TryStrToInt(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (const std::size_t prefix = HexPrefixLength(text, i)) {
    i += prefix;
    if (i == text.size()) return std::nullopt;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
      const int digit = HexDigitValue(text[i]);
      if (digit < 0) return std::nullopt;
      value = value * 16 + static_cast<std::uint64_t>(digit);
      if (value > 0xFFFFFFFFu) return std::nullopt;  // more than 8 significant digits
    }
    // Two's complement wrap-around on purpose: the pattern is the value, "-" negates it.
    std::uint32_t bits = static_cast<std::uint32_t>(value);
    if (negative) bits = 0u - bits;
    return static_cast<int>(bits);
  }
  if (i == text.size()) return std::nullopt;
  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > limit) return std::nullopt;
  }
  return static_cast<int>(negative ? -value : value);
}

int StrToInt(const std::string& text) {
  if (const std::optional<int> value = TryStrToInt(text)) return *value;
  throw ConvertError("'" + text + "' is not a valid integer value");
}

std::string Trim(const std::string& text) {
  auto is_trimmed = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && is_trimmed(text[begin])) ++begin;
  while (end > begin && is_trimmed(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}
