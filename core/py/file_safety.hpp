// Keeping the workbook's file whole and its earlier contents at hand: the atomic save, the save in
// place as the last resort, the removal of a save's leftovers, and the copies kept in "备份".
#pragma once

#include "awb/biff.hpp"
#include "awb/xls_workbook.hpp"
#include "namespace.hpp"

namespace awb::py_ {

// Writes `workbook` (the writer's model) to `path` through a new file beside it (opened with the
// module's open) that then replaces the old one in one step: an interruption leaves the old or
// the new workbook. A link is saved through to its target (the new file is made beside the
// target, and the link stays a link). A missing folder is made first; a workbook the user made
// read-only is refused. Where no new file can be made beside it but the workbook itself may be
// written, the whole new workbook is built in memory and written over the old one in place.
// Leftovers of earlier saves cut short are removed afterwards (awb::is_save_leftover).
void save_atomically(const Namespace& ns, xls::Workbook& workbook, py::handle path);

// Moves the workbook's real file into "备份" beside it, named after it with its modification
// time (awb::backup_base, awb::free_backup_name), a name free for its tuning history too.
// Returns the new path; raises OSError when the file cannot be moved.
py::object move_into_backups(const Namespace& ns, py::handle path);

// Where "备份" cannot take it: renames the workbook's real file beside itself under the name it
// would have there. Returns the new path; raises OSError when the file cannot be renamed.
py::object rename_beside(const Namespace& ns, py::handle path);

// A free name in "备份" beside the workbook's real file for what a run recorded when it may no
// longer write the workbook itself: named after it with the time now. Makes the folder.
py::object backup_for_now(const Namespace& ns, py::handle path);

// A workbook holding what a save cannot carry over is copied byte for byte into "备份" before
// it is first rewritten, once per content (awb::original_copy_name), and the engineer is told
// what will change (awb::extras_line). A copy that cannot be made stops the edit: the OSError is
// noted and goes on up, and nothing is written.
void keep_extras_aside(const Namespace& ns, py::handle path, const py::object& data,
                       const WorkbookExtras& extras);

// PermissionError when a file exists at `path` that the user may not write or marked
// read-only (which the file system would let the administrator replace or remove anyway).
void refuse_read_only(const Namespace& ns, py::handle path);

}  // namespace awb::py_
