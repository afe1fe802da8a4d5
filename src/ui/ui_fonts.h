// The fonts of the program's windows. The dialog is laid out in pixels for an 8-point sans
// serif at 96 dots per inch; these pick the closest font the machine has, sized in pixels so
// that the layout does not depend on the screen's resolution.
#pragma once

#include <QFont>
#include <QString>

namespace kivrel::ui {

// The dialog's text: 11 pixels, one pixel less when the machine's font is much wider than the
// one the layout was drawn for (the layout grows where the rest does not fit).
QFont DialogFont();
QFont BarLabelFont();  // "0" and "255" beside the colour bar: bold, 13 pixels
QFont FixedFont();     // the header text: fixed pitch, 11 pixels
QFont TitleFont();     // the start window's title: decorative (or a fallback), bold, 37 pixels

// For a line of data (status line, readout) that must fit `width` pixels: `base` when the text
// fits, else a narrow face of the same size, else one pixel less; the narrowest when nothing
// fits.
QFont FittingFont(const QFont& base, const QString& text, int width);

// A line of data as it is shown in `width` pixels: in FittingFont's font; when even that is
// too wide and the line starts with the file name `name`, the name shortened in its middle
// ("NGC_…_12.fits") so that what follows it (size, sky position) shows whole; as a last resort
// the line cut at its end with "…".
struct FittedLine {
  QFont font;
  QString text;
};
FittedLine FitDataLine(const QFont& base, const QString& text, const QString& name, int width);

}  // namespace kivrel::ui
