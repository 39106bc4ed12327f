// The console's configuration: the raw-picture folder on the first line of "Config.ini", and the
// simulator's results folder below it. Plain C++, no interpreter objects.
#pragma once

#include <optional>

#include "awb/text.hpp"

namespace awb::console {

// The value of a "key=value" line: the second field of a split at every "=". None when the
// line holds no "=".
std::optional<ustring> config_value(uview line);

// The results folder of a raw-picture folder, as the console lists it: "<folder>\Results" with
// every "\" turned into "/", and a "/" at the end. Its texts are "<results folder>*.txt".
ustring results_root(uview raw_folder);
inline constexpr uview kResultsPattern = U"*.txt";

}  // namespace awb::console
