// The dialog's state as one JSON object: the image, the view and the load status under their
// own names, the controls under their names in the dialog's layout (control_table.h).
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "browser/dialog/browser_controller.h"

namespace kivrel {

nlohmann::ordered_json StateToJson(BrowserController& controller,
                                   const std::optional<std::string>& error);

}  // namespace kivrel
