// Turning the engine's pictures into QImages for painting.
#pragma once

#include <QImage>

#include "browser/base/picture.h"

namespace kivrel::ui {

// The picture as a QImage of the same size: 8-bit pictures become an indexed image with the
// picture's palette (missing entries black); 1 and 4-bit pictures are unpacked through their
// palette; 16 and 32-bit pictures go through their channel masks (5-5-5 and blue, green, red,
// unused when they have none); 24-bit pictures are blue, green, red bytes. Any other format
// gives a black image.
QImage ToQImage(const Picture& picture);

}  // namespace kivrel::ui
