// Turning the engine's pictures into QImages for painting.
#pragma once

#include <QImage>

#include "browser/base/picture.h"

namespace kivrel::ui {

// The picture as a QImage of the same size: 8-bit pictures become an indexed image with the
// picture's palette (missing entries black); 1 and 4-bit pictures are unpacked through their
// palette; 16 and 32-bit pictures go through their channel masks (5-5-5 and blue, green, red,
// unused when they have none); 24-bit pictures are blue, green, red bytes. Any other format
// gives a black image. Throws std::bad_alloc when the QImage's memory is refused.
//
// `reuse`, when it has the same size and format and nothing else shares it, lends its memory:
// a 4000 x 4000 picture then costs no fresh pages (tens of milliseconds of page faults).
QImage ToQImage(const Picture& picture, QImage reuse = QImage());

}  // namespace kivrel::ui
