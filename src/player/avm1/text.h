// Script strings as their methods see them: from version 6 on, a UTF-8
// string counts and indexes UTF-16 units (a byte that is not valid UTF-8
// counts as the Latin-1 character of the same code); before, bytes.
#pragma once

#include <string>

namespace avm1 {

// Units of s: UTF-16 units, or bytes when !unicode.
std::u16string ToUnits(const std::string& s, bool unicode);
std::string FromUnits(const std::u16string& units, bool unicode);
size_t UnitLength(const std::string& s, bool unicode);
// Appends the character of code (a UTF-16 unit, or a byte when !unicode).
void AppendCode(std::string* out, unsigned code, bool unicode);

// Case mapping of the ASCII and Latin-1 letters (and the rest of the basic
// Latin range of Unicode that has a simple mapping).
std::u16string UpperUnits(const std::u16string& s);
std::u16string LowerUnits(const std::u16string& s);

} // namespace avm1
