// Writing the controller's state into the dialog's widgets, control by control as the control
// table lists them. Signals are blocked while writing, and a widget is written only where the
// controller's value differs from what it shows.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>

#include "browser/base/text.h"
#include "browser/dialog/control_table.h"
#include "ui/browser_dialog.h"
#include "ui/picture_image.h"
#include "ui/ui_fonts.h"
#include "ui/widgets.h"

namespace kivrel::ui {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

void SetState(QWidget* w, const Control& c) {
  if (w->isEnabled() != c.enabled) w->setEnabled(c.enabled);
  if (w->isVisibleTo(w->parentWidget()) != c.visible) w->setVisible(c.visible);
}

void SetLabel(QLabel* label, const LabelControl& c) {
  const QString text = Q(c.caption);
  if (label->text() != text) {
    label->setText(text);
    if (label->property("autoSize").toBool()) label->adjustSize();
  }
  SetState(label, c);
}

void SetEdit(QLineEdit* edit, const EditControl& c) {
  const QString text = Q(c.text);
  if (edit->text() != text) {
    const QSignalBlocker blocker(edit);
    edit->setText(text);
    edit->setCursorPosition(0);
  }
  SetState(edit, c);
}

void SetButton(QAbstractButton* button, const ButtonControl& c, bool with_caption) {
  const QSignalBlocker blocker(button);
  if (with_caption && button->text() != Q(c.caption)) button->setText(Q(c.caption));
  if (button->isCheckable() && button->isChecked() != c.pressed) button->setChecked(c.pressed);
  SetState(button, c);
}

void SetScrollBar(QScrollBar* bar, const ScrollBarControl& c) {
  const QSignalBlocker blocker(bar);
  if (bar->minimum() != c.min || bar->maximum() != c.max) bar->setRange(c.min, c.max);
  if (bar->pageStep() != c.page_step) bar->setPageStep(c.page_step);
  if (bar->singleStep() != c.step) bar->setSingleStep(c.step);
  if (bar->value() != c.position) bar->setValue(c.position);
  SetState(bar, c);
}

void SetList(QComboBox* list, const ListControl& c) {
  const QSignalBlocker blocker(list);
  bool same = list->count() == static_cast<int>(c.items.size());
  for (int i = 0; same && i < list->count(); ++i)
    same = list->itemText(i) == Q(c.items[static_cast<std::size_t>(i)]);
  if (!same) {
    list->clear();
    for (const std::string& item : c.items)
      list->addItem(Q(item));
  }
  if (list->currentIndex() != c.index) list->setCurrentIndex(c.index);
  SetState(list, c);
}

void SetRadioGroup(RadioGroup* group, const RadioGroupControl& c) {
  if (group->title() != Q(c.caption)) group->setTitle(Q(c.caption));
  std::vector<QString> items;
  for (const std::string& item : c.items)
    items.push_back(Q(item));
  bool same = group->ItemCount() == static_cast<int>(items.size());
  for (int i = 0; same && i < group->ItemCount(); ++i)
    same = group->Button(i)->text() == items[static_cast<std::size_t>(i)];
  if (!same) group->SetItems(items);
  if (group->CheckedIndex() != c.index) group->SetCheckedIndex(c.index);
  SetState(group, c);
}

void SetImage(QWidget* view, const ImageControl& c) {
  const QSize size(c.width, c.height);
  if (view->size() != size) view->resize(size);
}

// Writes one control's state into its widget, by the control's kind.
struct ControlWriter {
  QObject* widget;
  ControlKind kind;
  void operator()(const LabelControl& c) const { SetLabel(qobject_cast<QLabel*>(widget), c); }
  void operator()(const EditControl& c) const { SetEdit(qobject_cast<QLineEdit*>(widget), c); }
  void operator()(const ButtonControl& c) const {
    SetButton(qobject_cast<QAbstractButton*>(widget), c, kind == ControlKind::kButton);
  }
  void operator()(const ScrollBarControl& c) const {
    SetScrollBar(qobject_cast<QScrollBar*>(widget), c);
  }
  void operator()(const ListControl& c) const { SetList(qobject_cast<QComboBox*>(widget), c); }
  void operator()(const RadioGroupControl& c) const {
    SetRadioGroup(qobject_cast<RadioGroup*>(widget), c);
  }
  void operator()(const UpDownControl& c) const { SetState(qobject_cast<QWidget*>(widget), c); }
  void operator()(const ImageControl& c) const { SetImage(qobject_cast<QWidget*>(widget), c); }
  void operator()(const TimerControl&) const {}  // see MirrorTimer
};

}  // namespace

void BrowserDialog::Mirror() {
  if (windowTitle() != Q(controller_->texts.caption)) setWindowTitle(Q(controller_->texts.caption));
  MirrorControls();
  FitLayout();
  MirrorDataLines();
  MirrorTimer();
  MirrorPictures();  // last: the one part that may run out of memory
}

void BrowserDialog::MirrorControls() {
  const Control* data_lines[] = {&controller_->texts.readout, &controller_->texts.status_line};
  for (const ControlEntry& entry : ControlTable()) {
    const auto it = control_widgets_.find(entry.name);
    if (it == control_widgets_.end()) continue;
    const Control* common = CommonState(entry, *controller_);
    if (common == data_lines[0] || common == data_lines[1]) {
      SetState(qobject_cast<QWidget*>(it->second), *common);  // the text: MirrorDataLines
      continue;
    }
    std::visit(
        [&](auto state) {
          ControlWriter{it->second, entry.kind}(state(*controller_));
        },
        entry.state);
  }
}

void BrowserDialog::MirrorDataLines() {
  const BrowserController& c = *controller_;
  const QString file_name = QString::fromStdString(FileNameOf(c.load.file_name));
  for (const LabelControl* line : {&c.texts.readout, &c.texts.status_line}) {
    auto* label = qobject_cast<QLabel*>(WidgetOf(*line));
    if (label == nullptr) continue;
    // The label shows the line as it fits; its tooltip, the whole line.
    const QString text = Q(line->caption);
    if (label->property("line").toString() == text &&
        label->property("lineWidth").toInt() == label->width())
      continue;
    const FittedLine fitted = FitDataLine(font(), text, file_name, label->width());
    label->setFont(fitted.font);
    label->setText(fitted.text);
    label->setToolTip(text.trimmed().isEmpty() ? QString() : text);
    label->setProperty("line", text);
    label->setProperty("lineWidth", label->width());
    const int height = std::max(Designed(label).height(), QFontMetrics(fitted.font).height());
    if (label->height() != height) label->resize(label->width(), height);
  }
}

void BrowserDialog::MirrorPictures() {
  const BrowserController& c = *controller_;
  auto* preview = static_cast<PictureView*>(WidgetOf(c.view_controls.preview));
  auto* bar = static_cast<PictureView*>(WidgetOf(c.view_controls.colour_bar));
  const RubberBand& band = c.view.band;
  preview->SetRubberBand(band.Dragging
                             ? std::optional<QRect>(QRect(QPoint(band.DragX1, band.DragY1),
                                                          QPoint(band.DragX2, band.DragY2)))
                             : std::nullopt);
  if (c.picture_revision == pictures_shown_) return;
  pictures_shown_ = c.picture_revision;
  try {
    preview->SetImage(ToQImage(c.preview_picture, preview->TakeImage()));
    bar->SetImage(ToQImage(c.colour_bar_picture, bar->TakeImage()));
  } catch (...) {
    // Black rather than a picture that does not match the controls; the guard says why.
    preview->SetImage(QImage());
    bar->SetImage(QImage());
    throw;
  }
}

void BrowserDialog::MirrorTimer() {
  const TimerControl& t = controller_->thresholds.redraw_timer;
  if (!t.armed) {
    redraw_timer_->stop();
  } else if (t.restarts != timer_restarts_seen_) {
    redraw_timer_->start(t.interval_ms);
  }
  timer_restarts_seen_ = t.restarts;
}

}  // namespace kivrel::ui
