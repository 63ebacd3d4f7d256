#pragma once
// The registry's text form, the Windows ".reg" file (REGEDIT4, 8-bit), which an
// administrator can edit by hand or import on Windows:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Kestrune\Orvalt\Location]
//   "VoltageOn"="2.0"
//   "cfgTime1"=dword:00004e20
//   "Other"=hex(2):25,00
//
// Reading never fails: a line that cannot be understood is skipped, and a value
// that cannot be read whole is left out rather than kept in part.

#include <string>
#include <string_view>

#include "config/RegDocument.h"

namespace orvalt {

// Also reads the UTF-16 files that later regedit versions export, keeping each
// character that fits in 8 bits and putting '?' for the others.
RegDocument ParseRegText(std::string_view text);

// CR LF line ends. Texts that quotes cannot carry (a NUL, CR or LF in them) and
// every type other than REG_SZ and a 4-byte REG_DWORD are written as hex bytes,
// so they come back exactly.
std::string FormatRegText(const RegDocument& document);

}  // namespace orvalt
