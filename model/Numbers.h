#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Strict integer conversion of configuration text: optional leading blanks, an
// optional sign, then decimal digits that fit in a signed 32-bit number, or a
// hex prefix ($, 0x, 0X, x, X) and one to eight hex digits taken as a 32-bit
// two's-complement value. Nothing may follow the digits.
std::optional<int32_t> StrToIntStrict(std::string_view Text);

// Text from a file, quoted for a message: short text whole, long text cut to
// its first MaxQuotedLength characters with its length, so that a line of a
// megabyte does not become a message of a megabyte.
constexpr size_t MaxQuotedLength = 60;
std::string QuoteForMessage(std::string_view Text);

// A name of a configuration (section or key) as INI files compare them:
// ASCII letters in lower case.
std::string Lower(std::string Text);
