// File names as a Windows desk compares and shows them: letters of either case are the same
// name there, and a name read from a share or an archive may hold bytes that are no text in the
// system's encoding (the interpreter keeps each such byte as a lone surrogate, U+DC80 to U+DCFF).
#pragma once

#include <optional>
#include <vector>

#include "awb/text.hpp"

namespace awb {

// A letter's case mapping, one character to one: the interpreter's where the binding gives it,
// else ASCII's.
using CaseMap = char32_t (*)(char32_t);
char32_t ascii_upper(char32_t c);

// A name with every character mapped (for comparing names ignoring letter case).
ustring without_case(uview name, CaseMap upper = ascii_upper);
bool same_ignoring_case(uview name, uview other, CaseMap upper = ascii_upper);

// The first of `names` that is `wanted` but for letter case (a folder's names: the file a
// Windows desk opens under the name `wanted`). None when there is none.
std::optional<ustring> same_name_in(const std::vector<ustring>& names, uview wanted,
                                    CaseMap upper = ascii_upper);

// Whether a name is text: it holds no surrogate, so it can be printed, written into a workbook
// and stored.
bool is_text(uview name);

// A name that is not text, shown readably: each byte that is no text as "\xHH" (each other
// surrogate as "\uHHHH"), followed by how the name reads in another encoding (`reading`, with
// that encoding's name) where it does.
struct OtherReading {
    ustring name;
    const char* encoding;
};
ustring readable_name(uview name, const std::optional<OtherReading>& reading = std::nullopt);

}  // namespace awb
