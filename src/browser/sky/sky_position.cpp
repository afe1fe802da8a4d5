#include "browser/sky/sky_position.h"

#include "skylib/skylib.h"

namespace kivrel {

std::string SkyText(const SkyPosition& sky) {
  if (sky.FieldWidth == 0) return "";
  return std::string(" ") + sky.ProjCode + " ar:" + ArToStr(sky.FitsAR) + " de:" +
         DeToStr(sky.FitsDE) + " l:" + DeToStr(sky.FieldWidth);
}

}  // namespace kivrel
