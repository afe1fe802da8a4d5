// kivrel-cli: the browser's engine without a window (commands.h). Anything that escapes a
// command (out of memory outside a load, a library's exception) ends here: exit status 70 with
// "kivrel-cli: internal error: ..." on standard error.
#include <exception>
#include <iostream>
#include <new>

#include "cli/commands.h"

namespace {
constexpr int kExitInternal = 70;
}  // namespace

int main(int argc, char** argv) {
  try {
    return kivrel::cli::RunCommandLine(argc, argv, std::cout, std::cerr);
  } catch (const std::bad_alloc&) {
    std::cerr << "kivrel-cli: internal error: out of memory\n";
  } catch (const std::exception& e) {
    std::cerr << "kivrel-cli: internal error: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "kivrel-cli: internal error: an unknown exception\n";
  }
  return kExitInternal;
}
