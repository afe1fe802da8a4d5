// The browser's state as one JSON object: keys are the store's and the controls' names.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "browser/dialog/browser_logic.h"

namespace kivrel {

nlohmann::ordered_json StateToJson(const BrowserLogic& logic,
                                   const std::optional<std::string>& error);

}  // namespace kivrel
