// The console's configuration: the raw-picture folder on the first line of "Config.ini", and the
// simulator's results folder below it. Plain C++, no interpreter objects.
#pragma once

#include <array>
#include <optional>

#include "awb/text.hpp"

namespace awb::console {

// The value of a "key=value" line: the second field of a split at every "=". None when the
// line holds no "=".
std::optional<ustring> config_value(uview line);

// The raw-picture folder a configuration line names: the value of the line, its line ends
// removed. None when the line holds no "=".
std::optional<ustring> configured_folder(uview line);

// The results folder of a raw-picture folder, as the console lists it: "<folder>\Results" with
// every "\" turned into "/", and a "/" at the end. Its texts are "<results folder>*.txt".
ustring results_root(uview raw_folder);
inline constexpr uview kResultsPattern = U"*.txt";

// The engineer's own files, in the home folder (`home`, ending with the separator `sep`): the
// capture list, the error log, the analysis workbook on the desktop, and the error log of the
// start before, kept when a start begins a new one (so a trace survives the restart after it).
struct UserFiles {
    ustring capture_list;
    ustring error_log;
    ustring workbook;
    ustring earlier_error_log;
};
UserFiles user_files(uview home, uview sep);

// The files and folders a console makes in its working folder when they are missing.
inline constexpr const char* kConfigFile = "Config.ini";
inline constexpr std::array<const char*, 3> kDefaultConfig{"Path=D:\\RAW", "tsj=_ZETA", "user="};
inline constexpr const char* kIssueTemplateFile = "问题点.txt";
inline constexpr std::array<const char*, 3> kIssueTemplate{"填写图片编号和问题点，如下：", "001 室外偏红",
                                                           "002 004 室内偏黄"};
inline constexpr std::array<const char*, 3> kWorkingFolders{"全部照片", "调试机", "EXIF"};

// What the engineer is told about the configuration: a new one to be filled in, the folder it
// names missing (the program ends), and, with the interpreter's error, what is wrong with it.
inline constexpr const char* kConfigMissing = "请在Config.ini文件中填入路径!";
ustring folder_missing(uview folder);
inline constexpr const char* kPausePrompt = "请按任意键继续. . .";
inline constexpr const char* kConfigEmpty = "Config.ini 中没有任何行, 第 1 行应为 Path=仿真器的 RAW 文件夹";
inline constexpr const char* kConfigWithoutValue =
    "Config.ini 第 1 行没有 \"=\", 应为 Path=仿真器的 RAW 文件夹";
inline constexpr const char* kConfigUnreadable = "无法读取工作文件夹中的 Config.ini";
inline constexpr const char* kConfigResave = ", 请以 UTF-8 编码重新保存它";

}  // namespace awb::console
