#include "ui/layout_fit.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QVariant>
#include <QWidget>
#include <algorithm>

#include "ui/widgets.h"

namespace kivrel::ui {
namespace {

constexpr const char* kDesigned = "kivrelDesigned";

// Start and size of a rectangle along an axis.
int StartOf(Axis axis, const QRect& r) {
  return axis == Axis::kHorizontal ? r.left() : r.top();
}
int SizeOf(Axis axis, const QRect& r) {
  return axis == Axis::kHorizontal ? r.width() : r.height();
}

// The designed place along the axis, moved and grown; across it, the place as it is now (the
// other axis' fitting).
QRect Moved(Axis axis, const QRect& designed, const QRect& now, int shift, int grow) {
  if (axis == Axis::kHorizontal)
    return QRect(designed.left() + shift, now.top(), designed.width() + grow, now.height());
  return QRect(now.left(), designed.top() + shift, now.width(), designed.height() + grow);
}

struct Placed {
  int start = 0;
  int size = 0;
};

// A label that takes the size of its text was drawn with a placeholder size: the room after
// it is measured from the end of its text, and a caption keeps a pixel of air after it.
bool SizedByText(const QWidget* w) {
  return w->property("autoSize").toBool();
}

// Each item at its designed start, moved back by what the flexible items before it gave up,
// unless the one before it, with the designed gap, ends later.
std::vector<Placed> Place(Axis axis, const std::vector<LineItem>& items,
                          const std::vector<int>& sizes) {
  std::vector<Placed> placed(items.size());
  int previous_end = 0;
  int designed_previous_end = 0;
  int min_gap = 0;
  int given_up = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const QRect d = Designed(items[i].widgets.front());
    const int gap = std::max(min_gap, StartOf(axis, d) - designed_previous_end);
    int start = StartOf(axis, d) - given_up;
    if (items[i].grows_back) start = StartOf(axis, d) + SizeOf(axis, d) - sizes[i];
    if (i > 0) start = std::max(start, previous_end + gap);
    start = std::max(start, 0);
    placed[i] = Placed{start, sizes[i]};
    previous_end = start + sizes[i];
    const bool by_text = SizedByText(items[i].widgets.front());
    designed_previous_end = StartOf(axis, d) + (by_text ? items[i].needed : SizeOf(axis, d));
    min_gap = by_text ? 1 : 0;
    given_up += std::max(0, SizeOf(axis, d) - sizes[i]);
  }
  return placed;
}

}  // namespace

void PlaceDesigned(QWidget* widget, const QRect& designed) {
  widget->setProperty(kDesigned, designed);
  widget->setGeometry(designed);
}

QRect Designed(const QWidget* widget) {
  const QVariant v = widget->property(kDesigned);
  return v.isValid() ? v.toRect() : widget->geometry();
}

int CaptionWidth(const QWidget* widget) {
  if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->sizeHint().width();
  if (const auto* list = qobject_cast<const QComboBox*>(widget)) return list->sizeHint().width();
  if (const auto* group = qobject_cast<const RadioGroup*>(widget)) return group->NeededWidth();
  if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
    if (button->text().isEmpty()) return 0;
    // Four pixels of padding each side, and the icon with its gap.
    const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
    return button->fontMetrics().horizontalAdvance(button->text()) + 8 + icon;
  }
  return 0;
}

int FitLine(Axis axis, const std::vector<LineItem>& items, int end) {
  if (items.empty()) return 0;
  std::vector<int> sizes(items.size());
  for (std::size_t i = 0; i < items.size(); ++i)
    sizes[i] = std::max(SizeOf(axis, Designed(items[i].widgets.front())), items[i].needed);
  std::vector<Placed> placed = Place(axis, items, sizes);
  // Room taken back from the flexible items, the last one first, until the line fits.
  for (int pass = 0; pass < 4; ++pass) {
    int over = placed.back().start + placed.back().size - end;
    if (over <= 0) break;
    for (std::size_t i = items.size(); i-- > 0 && over > 0;) {
      if (items[i].min_size <= 0) continue;
      const int give = std::min(over, sizes[i] - std::max(items[i].min_size, items[i].needed));
      if (give <= 0) continue;
      sizes[i] -= give;
      over -= give;
    }
    placed = Place(axis, items, sizes);
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    const QRect first = Designed(items[i].widgets.front());
    const int shift = placed[i].start - StartOf(axis, first);
    const int grow = placed[i].size - SizeOf(axis, first);
    for (QWidget* w : items[i].widgets) {
      QRect target = Moved(axis, Designed(w), w->geometry(), shift, grow);
      // A caption is never cut at the bottom either.
      if (const auto* label = qobject_cast<const QLabel*>(w); label && axis == Axis::kHorizontal)
        target.setHeight(std::max(target.height(), label->sizeHint().height()));
      if (w->geometry() != target) w->setGeometry(target);
    }
  }
  return std::max(0, placed.back().start + placed.back().size - end);
}

}  // namespace kivrel::ui
