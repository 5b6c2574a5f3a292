#pragma once
// Text handling of the number boxes and path boxes. Texts are UTF-8; only ASCII bytes are ever
// interpreted, so a multi-byte character is never mistaken for a digit, sign or blank.
#include <optional>
#include <string>

#include "engine/errors.h"

// An invalid text given to StrToInt: "'<text>' is not a valid integer value".
class ConvertError : public TessarineError {
 public:
  using TessarineError::TessarineError;
};

// Optional leading blanks (code 32 only), at most one sign, then decimal digits in
// -2147483648..2147483647 or a hexadecimal prefix ("$", "x", "X", "0x", "0X") with 1..8
// significant digits whose 32-bit pattern is taken as it stands (so "$FFFFFFFF" is -1).
// Nothing may follow the digits. Throws ConvertError naming the untrimmed text.
int StrToInt(const std::string& text);

// The same rule without the exception: no value for an invalid text.
std::optional<int> TryStrToInt(const std::string& text);

// Removes every byte of code 32 or below from both ends; bytes of 128 and above stay, so
// multi-byte characters (the ideographic blank included) are never cut.
std::string Trim(const std::string& text);
