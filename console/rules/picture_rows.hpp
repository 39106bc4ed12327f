// The picture rows of the console's workbook: which row of a sheet is a picture's. Plain C++, no
// interpreter objects.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "awb/file_names.hpp"
#include "awb/text.hpp"

namespace awb::console {

// A picture's name less its extension (the text from its last "."), the name a row holds.
uview picture_stem(uview picture);

// The row of `picture` among the column-0 texts of a sheet's picture rows, counted from 0:
// first a text that is the picture's name or its name less the extension, then one that is
// either but for letter case (one file on a Windows desk: "Img_0002.jpg" is IMG_0002.jpg); else
// the first text that holds the name less its extension, letter case aside, with no letter or
// digit right before it, and right after it the end of the text, "." or a blank (so
// "P001_X.jpg" is a row of X.jpg, and the burst frame "X_1.jpg" is not). None when no row is the
// picture's. `upper` maps a letter to its upper case.
std::optional<std::size_t> find_picture_row(const std::vector<ustring>& cells, uview picture,
                                            const std::function<bool(char32_t)>& is_alnum,
                                            CaseMap upper = ascii_upper);

// The row of a picture on a sheet (sheets taken in order): its own row when the sheet has one,
// else the row it got on the sheet before (`previous`, 0 for none), else below the sheet's
// last row (`rows` rows, the title row among them).
std::size_t picture_row(std::optional<std::size_t> found, std::size_t previous, std::size_t rows);

}  // namespace awb::console
