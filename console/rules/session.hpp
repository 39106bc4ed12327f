// The console's session: its banner and prompts, the commands an engineer types, the files a
// clear deletes, and the lines that close a show or a clear. Plain C++, no interpreter objects.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "awb/text.hpp"

namespace awb::console {

inline constexpr std::array<const char*, 4> kBanner{
    "                             HalvexSimulator信息查询",
    "参数: 回车 查看仿真数据！",
    "参数: -r   清除仿真数据！",
    "参数: -q   退出！",
};

// What a typed line asks for: "-q"/"q" quits, "-r"/"r" clears, anything else shows.
enum class Command { kShow, kClear, kQuit };
Command command_of(uview line);

// The prompt after a command: a clear asks again in its own words.
const char* prompt_after(Command command);

// The simulator's result files that a clear deletes, in the results folder only.
inline constexpr std::array<uview, 5> kClearPatterns{U"*.txt", U"*debug0.BMP", U"*debug1.BMP", U"*.dat",
                                                     U"*.yuv422"};
inline constexpr const char* kCleared = "数据已清空! 重新仿真后按回车查询！";

// The lines after a show: the picture's label (picture_label) and the workbook's path with
// forward slashes.
std::vector<ustring> show_lines(uview awb_text, uview picture, uview workbook);

// The results pattern split into its folder and its file pattern: cut five characters ("*.txt")
// before its end; a pattern shorter than that is cut as a slice at a negative position is, from
// the end once more.
struct ResultsPattern {
    ustring folder;
    ustring files;
};
ResultsPattern split_results_pattern(uview pattern);

// A result's name in a Windows listing, whose path joins folder and name with its only
// backslash: the second backslash-separated field. None when the path holds no backslash.
std::optional<ustring> listed_result_name(uview path);

}  // namespace awb::console
