#include "skylib/run_time_error.h"

namespace kivrel {

void ThrowCannotOpen(const std::string& file_name) {
  throw RunTimeError("Cannot open file " + file_name);
}

void ThrowCannotCreate(const std::string& file_name) {
  throw RunTimeError("Cannot create file " + file_name);
}

}  // namespace kivrel
