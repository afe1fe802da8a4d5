// Small button pictures drawn at run time (no image files to ship).
#pragma once

#include <QIcon>

namespace kivrel::ui {

enum class Glyph {
  MirrorLeftRight,  // left-right arrows about a vertical axis
  MirrorTopBottom,  // up-down arrows about a horizontal axis
  Orient,           // north arrow
  ApplyFilter,      // funnel
  Restore,          // turning-back arrow
  Ok,               // check mark
  Cancel,           // cross
  Help,             // question mark
};

QIcon MakeGlyph(Glyph glyph);

}  // namespace kivrel::ui
