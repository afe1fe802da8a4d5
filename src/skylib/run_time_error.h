// The one exception type of run-time errors: a file that cannot be opened or written, a text
// that is not a number, an unreadable table. Its message is the exact text the user sees; it is
// caught at the event boundary (the window shows it in a message box, the CLI prints it).
#pragma once

#include <stdexcept>
#include <string>

namespace kivrel {

class RunTimeError : public std::runtime_error {
 public:
  explicit RunTimeError(const std::string& message) : std::runtime_error(message) {}
};

// "Cannot open file <name>": a file that cannot be opened for reading.
[[noreturn]] void ThrowCannotOpen(const std::string& file_name);
// "Cannot create file <name>": a file that cannot be created or written.
[[noreturn]] void ThrowCannotCreate(const std::string& file_name);

}  // namespace kivrel
