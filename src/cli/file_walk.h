// The files a folder-wide command goes through: each PATH given, a file as it is, a folder as
// the image files it holds (IsImageFile), with -r those of its sub-folders too.
//
// Order: the paths in the order given; within a folder, by relative path, byte by byte, so a
// run's output does not depend on the order the file system lists entries. Symbolic links to
// files are followed; links to folders are not walked into (no loop can arise). Folders that
// cannot be read are passed over. A path that does not exist is kept, so that its row can say
// so.
#pragma once

#include <string>
#include <vector>

namespace kivrel::cli {

struct FoundFile {
  std::string path;      // to open: the PATH given, or joined with the relative path
  std::string relative;  // the name under the folder given; the file name for a file given
};

std::vector<FoundFile> FindImageFiles(const std::vector<std::string>& paths, bool recursive);

}  // namespace kivrel::cli
