// The dialog's layout fitted to the machine's fonts (see layout_fit.h): each panel's lines
// first, then the panels within the dialog. The left panel grows, and pushes the right-hand
// column and the dialog's edge, only when one of its lines cannot fit otherwise.
#include <QComboBox>
#include <QWidget>
#include <algorithm>
#include <initializer_list>

#include "ui/browser_dialog.h"
#include "ui/layout_fit.h"
#include "ui/widgets.h"

namespace kivrel::ui {
namespace {

constexpr int kFrame = 1;  // the panels' raised frame

// Where a panel's contents must end: inside its frame, a pixel of air after a caption.
int InnerEnd(Axis axis, const QWidget* panel) {
  const QRect d = Designed(panel);
  return (axis == Axis::kHorizontal ? d.width() - 1 : d.height()) - kFrame;
}

}  // namespace

QWidget* BrowserDialog::Named(const char* name) const {
  const auto it = named_.find(name);
  return it == named_.end() ? nullptr : it->second;
}

LineItem BrowserDialog::Caption(const char* name) const {
  QWidget* w = Named(name);
  return LineItem{{w}, CaptionWidth(w)};
}

LineItem BrowserDialog::Fixed(const char* name) const {
  return LineItem{{Named(name)}};
}

LineItem BrowserDialog::Flexible(const char* name, int min_size) const {
  QWidget* w = Named(name);
  // A list shrinks no further than its longest entry.
  if (qobject_cast<QComboBox*>(w) != nullptr) min_size = CaptionWidth(w);
  return LineItem{{w}, CaptionWidth(w), std::max(1, min_size)};
}

// The lines of one panel; the panel's width as its lines need it.
int BrowserDialog::FitPanel(const char* panel, const std::vector<std::vector<LineItem>>& lines) {
  int over = 0;
  for (const std::vector<LineItem>& line : lines)
    over = std::max(over, FitLine(Axis::kHorizontal, line, InnerEnd(Axis::kHorizontal, Named(panel))));
  return Designed(Named(panel)).width() + over;
}

void BrowserDialog::FitLayout() {
  if (named_.empty()) {
    for (QWidget* w : findChildren<QWidget*>()) {
      if (!w->objectName().isEmpty()) named_[w->objectName().toStdString()] = w;
    }
  }
  const Axis h = Axis::kHorizontal;
  const int panel5 = FitPanel("Panel5", {{Caption("Label9"), Fixed("SpeedButton3"),
                                          Fixed("SpeedButton2"), Fixed("SpeedButton6")}});
  const int panel6 = FitPanel(
      "Panel6", {{Caption("Label11"), Fixed("Edit4"), Fixed("UpDown1"), Caption("Label10")}});
  const int panel7 = FitPanel("Panel7", {{Caption("Label12"), Flexible("ComboBox3", 0),
                                          Caption("Label13"), Flexible("Edit5", 40),
                                          Fixed("SpeedButton7"), Fixed("SpeedButton8")}});
  LineItem low_label = Caption("Label5");
  low_label.grows_back = true;  // into the panel's margin, the colour bar keeps its place
  const int panel4 =
      FitPanel("Panel4", {{low_label, Fixed("Image2"), Caption("Label6")}});
  const int panel3 =
      FitPanel("Panel3", {{Caption("Label7"), Flexible("Edit1", 50), Flexible("ScrollBar1", 80)},
                          {Caption("Label8"), Flexible("Edit2", 50), Flexible("ScrollBar2", 80)}});
  const int panel1 =
      FitPanel("Panel1", {{Caption("Label3"), Flexible("ComboBox1", 0), Caption("Label4"),
                           Flexible("ComboBox2", 0)}});

  // The left panel: its lines across, then its column down (the level modes may take two rows
  // of items: the file tree and list give up the height).
  QWidget* left = Named("Panel2");
  const int left_end = InnerEnd(h, left);
  int left_over = 0;
  for (std::vector<LineItem> line :
       {std::vector<LineItem>{Flexible("Edit3", 80), Caption("FilterComboBox1")},
        std::vector<LineItem>{Caption("RadioGroup1")}, std::vector<LineItem>{Caption("RadioGroup2")},
        std::vector<LineItem>{LineItem{{Named("Panel5")}, panel5}, LineItem{{Named("Panel6")}, panel6}},
        std::vector<LineItem>{LineItem{{Named("Panel7")}, panel7}}}) {
    left_over = std::max(left_over, FitLine(h, line, left_end));
  }
  auto* colours = static_cast<RadioGroup*>(Named("RadioGroup1"));
  auto* levels = static_cast<RadioGroup*>(Named("RadioGroup2"));
  FitLine(Axis::kVertical,
          {LineItem{{Named("SystemTreeView1"), Named("FileListBox1")}, 0, 100},
           LineItem{{Named("Edit3"), Named("FilterComboBox1")}},
           LineItem{{colours}, colours->NeededHeight()}, LineItem{{levels}, levels->NeededHeight()},
           LineItem{{Named("Panel5"), Named("Panel6")}}, LineItem{{Named("Panel7")}}},
          InnerEnd(Axis::kVertical, left));

  // The dialog: the left panel as wide as its lines need, the right-hand column after it.
  const LineItem left_item{{left}, Designed(left).width() + left_over};
  int right_edge = kClientWidth;
  for (auto [name, needed] :
       {std::pair{"Panel4", panel4}, std::pair{"Panel3", panel3}, std::pair{"Panel1", panel1}}) {
    FitLine(h, {left_item, LineItem{{Named(name)}, needed}}, kClientWidth * 2);
    right_edge = std::max(right_edge, Named(name)->geometry().right() + 1);
  }
  // The preview keeps the width the controller gives it, the status line reaches the edge.
  QWidget* preview = Named("Image1");
  const QPoint preview_at = Designed(preview).topLeft() + QPoint(left_over, 0);
  if (preview->pos() != preview_at) preview->move(preview_at);
  const int width = std::max(kClientWidth + left_over, right_edge);
  const int buttons_over =
      FitLine(h, {Caption("BitBtn1"), Caption("BitBtn2"), Caption("SpeedButton1"),
                  Caption("SpeedButton4"), Caption("SpeedButton5"), Caption("BitBtn3"),
                  Caption("BitBtn4")},
              width);
  const QSize size(width + buttons_over, kClientHeight);
  if (this->size() != size) setFixedSize(size);
  QWidget* status = Named("Label2");
  const QRect designed = Designed(status);
  const QRect line(designed.left() + left_over, designed.top(),
                   size.width() - designed.left() - left_over, designed.height());
  if (status->geometry() != line) status->setGeometry(line);
}

}  // namespace kivrel::ui
