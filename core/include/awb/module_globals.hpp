// The names of the modules' globals, spelled as callers and the engineers' own scripts know them
// (misspellings kept): the state each module's functions read and set by name at call time, the
// functions it defines, and the packages it binds. A caller that sets `Lumvik.fp` or
// `Tavrin.Excle_File` and then calls a function gets what the function reads under that name.
#pragma once

namespace awb::globals {

// The module state (both modules, with module-specific meanings; the console's alone, the
// batch's alone).
inline constexpr const char Excle_File[] = "Excle_File";  // the workbook's path
inline constexpr const char Target_Awb_Target_Pic[] = "Target_Awb_Target_Pic";
inline constexpr const char insert_row_num[] = "insert_row_num";
inline constexpr const char Data_num[] = "Data_num";
inline constexpr const char AWB_TAG_DATA_List[] = "AWB_TAG_DATA_List";  // the AWB debug record
inline constexpr const char AWB_Title[] = "AWB_Title";
inline constexpr const char fp[] = "fp";  // the open debug text (console), the last dump (batch)
inline constexpr const char LUMVIK_List[] = "LUMVIK_List";
inline constexpr const char Lumvik_file_full_path[] = "Lumvik_file_full_path";
inline constexpr const char AWB_Results_Dir[] = "AWB_Results_Dir";
inline constexpr const char AWB_Results_Dir_Root[] = "AWB_Results_Dir_Root";
inline constexpr const char rawfilename_txt[] = "rawfilename_txt";
inline constexpr const char path[] = "path";
inline constexpr const char error_log[] = "error_log";
inline constexpr const char user_home_path[] = "user_home_path";
inline constexpr const char exif_file_flage[] = "exif_file_flage";
inline constexpr const char no_exif_list[] = "no_exif_list";
inline constexpr const char data_num[] = "data_num";  // the batch's running line number
inline constexpr const char defaultencoding[] = "defaultencoding";
inline constexpr const char global_val[] = "global_val";

// The functions.
inline constexpr const char LUMVIK_NEW[] = "LUMVIK_NEW";
inline constexpr const char Create_Data[] = "Create_Data";
inline constexpr const char Create_Excel[] = "Create_Excel";
inline constexpr const char Find_Changed_Txt[] = "Find_Changed_Txt";
inline constexpr const char Pic_Issues_Raw[] = "Pic_Issues_Raw";
inline constexpr const char Create_Lumvik_DATA[] = "Create_Lumvik_DATA";
inline constexpr const char Lumvik_Main[] = "Lumvik_Main";
inline constexpr const char GetDesktopPath[] = "GetDesktopPath";
inline constexpr const char Create_DP_Log_DATA[] = "Create_DP_Log_DATA";
inline constexpr const char DP_DUMP[] = "DP_DUMP";
inline constexpr const char Tavrin[] = "Tavrin";

// The packages the modules bind at load, by the names their functions use.
inline constexpr const char os[] = "os";
inline constexpr const char sys[] = "sys";
inline constexpr const char time[] = "time";
inline constexpr const char np[] = "np";
inline constexpr const char xlwt[] = "xlwt";
inline constexpr const char xlrd[] = "xlrd";
inline constexpr const char copy[] = "copy";
inline constexpr const char filelock[] = "filelock";
inline constexpr const char glob[] = "glob";
inline constexpr const char datetime[] = "datetime";
inline constexpr const char platform[] = "platform";
inline constexpr const char digits[] = "digits";

}  // namespace awb::globals
