// Writing an output file so that nothing but a regular file is ever written, and a failure
// leaves the old file in place. Pictures and other outputs are made in memory first; this
// writes them to a temporary file in the target's folder, flushes it to the disk and renames
// it over the target, so the target is either the old file or the complete new one.
//
// WriteOutputFile(file_name, data, shown_file)
//   file_name   the target. An existing target must be a regular file (a symbolic link is
//               followed to it, and the link stays); it is checked without being opened, so a
//               FIFO or a device never blocks and is never touched.
//   data        the whole contents.
//   shown_file  the file the user is looking at, or "" for none: the target may not be it
//               (same device and inode, so another name or a hard link of it counts too).
//   The new file gets the permissions an ordinary new file gets (0666 less the umask).
// Errors, thrown as RunTimeError; nothing is written or removed but the temporary file:
//   "Cannot write to <name>: it is a folder"
//   "Cannot write to <name>: not a regular file"   (FIFO, device, socket, broken link)
//   "Cannot write over <name>: it is the file being shown"
//   "Cannot create file <name>"   the folder is missing or refuses the file, or writing,
//                                 flushing or renaming failed (a full disk, a file size limit)
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kivrel {

void WriteOutputFile(const std::string& file_name, std::span<const uint8_t> data,
                     const std::string& shown_file = {});

}  // namespace kivrel
