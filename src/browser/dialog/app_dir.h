// AppDir, the folder whose palettes/ folder holds the colour and transfer tables: the current
// directory at start-up when it has a palettes/ folder, else the program's own data folder
// (the installed share/kivrel next to the program, or the source tree for a program run from
// its build tree), else the current directory all the same.
#pragma once

#include <string>

namespace kivrel {

std::string ResolveAppDir();

// The folder of the running executable ("" when unknown).
std::string ExecutableDir();

}  // namespace kivrel
