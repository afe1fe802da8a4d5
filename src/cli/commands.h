// kivrel-cli's command line: the sub-commands, their options and their exit statuses.
//
//   info FILE [options]     a fresh dialog, the settings, a click on FILE, the actions in
//                           command-line order, a pending redraw fired; then the summary, or
//                           with --json the dialog's state as one JSON object
//   render FILE -o OUT      as info, then the preview (or with --size N the whole image fitted
//                           to N x N) saved as PNG when OUT ends in .png, else as BMP
//   header FILE             the header listing of a FITS or PIC file
//   survey PATH...          one row per image file (folders.h)
//   thumbs PATH...          one PNG per image file, or a contact sheet (folders.h)
//
// Exit statuses of info and render: 0 an image or picture is shown; 2 the load failed (the
// reason in the output); 1 a run-time error (its text in the output when the dialog exists,
// else on `err`); 64 a bad command line.
#pragma once

#include <ostream>

namespace kivrel::cli {

inline constexpr int kExitUsage = 64;

// Runs one command line (argv[0] is the program) and returns the exit status. What kivrel-cli
// prints goes to `out` and `err`; only the progress bar of a folder-wide command writes to the
// process's standard error directly, and only when it is a terminal.
int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace kivrel::cli
