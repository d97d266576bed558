// SPDX-License-Identifier: MIT
#ifndef TELO_TOOLS_COMMON_ESCAPE_BYTES_H
#define TELO_TOOLS_COMMON_ESCAPE_BYTES_H

#include <string>
#include <string_view>

namespace telo::tools {

/// The bytes as one printable line: backslash, tab, line feed and carriage return as \\, \t,
/// \n and \r, every other byte below 0x20 or above 0x7E as \xHH.
std::string escapeBytes(std::string_view bytes);

}  // namespace telo::tools

#endif
