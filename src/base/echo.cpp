#include "base/echo.hpp"

#include <cstdio>

namespace tarvek {
namespace {

bool is_control(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b < 0x20 || b == 0x7F;
}

}  // namespace

std::string escaped_for_message(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (!is_control(c)) {
      out.push_back(c);
      continue;
    }
    char code[5];
    std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
    out += code;
  }
  return out;
}

std::string echo(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return escaped_for_message(text);
  // Not inside a UTF-8 sequence: back up over continuation bytes.
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0u) == 0x80u) --cut;
  return escaped_for_message(text.substr(0, cut)) + "...";
}

}  // namespace tarvek
