#pragma once
// Input quoted in messages. A message names what it found, but the bytes of
// a broken or hostile file must not reach a terminal or a log as they stand
// (control characters can move the cursor, clear the screen or rewrite the
// window title), nor fill them (a 50 MB cell).

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvek {

// `text` with every control byte (below 0x20, and 0x7F) written as \xNN.
// Other bytes, UTF-8 included, are kept. Text without control bytes comes
// back unchanged.
std::string escaped_for_message(std::string_view text);

// The longest echo of one piece of input in a companion's message.
inline constexpr std::size_t kEchoLimit = 80;

// escaped_for_message(text), cut after `limit` characters of the input with
// "..." appended when it is longer.
std::string echo(std::string_view text, std::size_t limit = kEchoLimit);

}  // namespace tarvek
