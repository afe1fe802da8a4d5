// The fonts of the program's windows. The dialog is laid out in pixels for an 8-point sans
// serif at 96 dots per inch; these pick the closest font the machine has, sized in pixels so
// that the layout does not depend on the screen's resolution.
#pragma once

#include <QFont>
#include <QString>

namespace kivrel::ui {

// The dialog's text: 11 pixels, one or two pixels less when the machine's font is too wide
// for the tightest caption of the layout.
QFont DialogFont();
QFont BarLabelFont();  // "0" and "255" beside the colour bar: bold, 13 pixels
QFont FixedFont();     // the header text: fixed pitch, 11 pixels
QFont TitleFont();     // the start window's title: decorative (or a fallback), bold, 37 pixels

// For a line of data (status line, readout) that must fit `width` pixels: `base` when the text
// fits, else a narrow face of the same size, else one pixel less; the narrowest when nothing
// fits.
QFont FittingFont(const QFont& base, const QString& text, int width);

}  // namespace kivrel::ui
