// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace lumafold::Utf8 {

// Stands for a byte that is not part of well-formed UTF-8; no character class contains it.
inline constexpr char32_t invalidUnit = 0xFFFFFFFF;

// Strict decoding: overlong forms, surrogates and values past U+10FFFF are not characters, so
// an overlong encoding of a space is never taken for a space. Each bad byte becomes invalidUnit.
std::u32string decode(std::string_view text);

} // namespace lumafold::Utf8
