// A layout drawn in pixels for one font, fitted to the fonts the machine has. Each widget keeps
// the place and size it was designed with wherever its text allows; a widget whose text needs
// more grows by what it needs, pushing the widgets after it along its line, and the line takes
// the room back from its flexible widgets (edits, bars, the file tree) down to their minimum.
// What a line still lacks is its overflow: the caller grows the line's container by it.
//
// Fitting always starts again from the designed geometry, so it may run after every change of
// a caption and gives the same places for the same texts.
#pragma once

#include <QRect>
#include <vector>

class QWidget;

namespace kivrel::ui {

// Places `widget` at `designed` and remembers that geometry as its designed one.
void PlaceDesigned(QWidget* widget, const QRect& designed);
// The geometry PlaceDesigned gave; the current one for a widget it never placed.
QRect Designed(const QWidget* widget);

// The width the widget's caption needs, padding and icon included: labels and lists their size
// hint, push buttons their text with its margins and icon, radio groups their columns; 0 for
// widgets without a caption.
int CaptionWidth(const QWidget* widget);

enum class Axis { kHorizontal, kVertical };

// One place along a line: its widgets move together (the first one's designed geometry counts)
// and change size together.
struct LineItem {
  std::vector<QWidget*> widgets;
  int needed = 0;    // the size its contents need along the line (0: its designed size)
  int min_size = 0;  // > 0: it may shrink to this to make room for others
  // It grows towards the line's start, into the room before it, rather than pushing on.
  bool grows_back = false;
};

// Fits one line, its items in order along `axis`, ending at `end` (the container's inner
// size). Returns how many pixels past `end` the line still needs (0 when it fits).
int FitLine(Axis axis, const std::vector<LineItem>& items, int end);

}  // namespace kivrel::ui
