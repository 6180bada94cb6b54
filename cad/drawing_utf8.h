#pragma once

// Code points of UTF-8 text, for the few places of the drawing that look at characters
// (text width estimates, DXF escapes).

#include <string>
#include <string_view>

namespace keldarn::cad {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The code point at `i`, advancing `i` past it; U+FFFD (one byte consumed) for a byte
// that does not start a valid sequence (overlong forms and surrogates included).
char32_t NextCodePoint(std::string_view text, std::size_t& i);

// Appends cp as UTF-8; a surrogate or a value beyond U+10FFFF becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace keldarn::cad
