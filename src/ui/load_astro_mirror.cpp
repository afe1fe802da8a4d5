// Writing the engine's state into the dialog's widgets. Signals are blocked while writing, and
// a widget is written only where the engine's value differs from what it shows.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>

#include "ui/load_astro_form.h"
#include "ui/picture_image.h"
#include "ui/ui_fonts.h"
#include "ui/widgets.h"

namespace kivrel::ui {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

void SetState(QWidget* w, const Control& c) {
  if (w->isEnabled() != c.Enabled) w->setEnabled(c.Enabled);
  if (w->isVisibleTo(w->parentWidget()) != c.Visible) w->setVisible(c.Visible);
}

void SetLabel(QLabel* label, const std::string& caption) {
  const QString text = Q(caption);
  if (label->text() == text) return;
  label->setText(text);
  if (label->property("autoSize").toBool()) label->adjustSize();
}

void SetLabel(QLabel* label, const LabelControl& c) {
  SetLabel(label, c.Caption);
  SetState(label, c);
}

void SetEdit(QLineEdit* edit, const EditControl& c) {
  const QString text = Q(c.Text);
  if (edit->text() != text) {
    const QSignalBlocker blocker(edit);
    edit->setText(text);
    edit->setCursorPosition(0);
  }
  SetState(edit, c);
}

void SetButton(QAbstractButton* button, const ButtonControl& c, bool with_caption) {
  const QSignalBlocker blocker(button);
  if (with_caption && button->text() != Q(c.Caption)) button->setText(Q(c.Caption));
  if (button->isCheckable() && button->isChecked() != c.Down) button->setChecked(c.Down);
  SetState(button, c);
}

void SetScrollBar(QScrollBar* bar, const ScrollBarControl& c) {
  const QSignalBlocker blocker(bar);
  if (bar->minimum() != c.Min || bar->maximum() != c.Max) bar->setRange(c.Min, c.Max);
  if (bar->pageStep() != c.LargeChange) bar->setPageStep(c.LargeChange);
  if (bar->singleStep() != c.SmallChange) bar->setSingleStep(c.SmallChange);
  if (bar->value() != c.Position) bar->setValue(c.Position);
  SetState(bar, c);
}

void SetComboBox(QComboBox* list, const ComboBoxControl& c) {
  const QSignalBlocker blocker(list);
  bool same = list->count() == static_cast<int>(c.Items.size());
  for (int i = 0; same && i < list->count(); ++i)
    same = list->itemText(i) == Q(c.Items[static_cast<std::size_t>(i)]);
  if (!same) {
    list->clear();
    for (const std::string& item : c.Items)
      list->addItem(Q(item));
  }
  if (list->currentIndex() != c.ItemIndex) list->setCurrentIndex(c.ItemIndex);
  SetState(list, c);
}

void SetRadioGroup(RadioGroup* group, const RadioGroupControl& c) {
  if (group->title() != Q(c.Caption)) group->setTitle(Q(c.Caption));
  std::vector<QString> items;
  for (const std::string& item : c.Items)
    items.push_back(Q(item));
  bool same = group->ItemCount() == static_cast<int>(items.size());
  for (int i = 0; same && i < group->ItemCount(); ++i)
    same = group->Button(i)->text() == items[static_cast<std::size_t>(i)];
  if (!same) group->SetItems(items);
  if (group->CheckedIndex() != c.ItemIndex) group->SetCheckedIndex(c.ItemIndex);
  SetState(group, c);
}

}  // namespace

void TLoadAstroForm::Mirror(bool pictures) {
  MirrorTexts();
  MirrorControls();
  const BrowserLogic& b = *logic_;
  const QSize preview(b.Image1.Width, b.Image1.Height);
  if (image1_->size() != preview) image1_->resize(preview);
  if (image2_->size() != QSize(b.Image2.Width, b.Image2.Height))
    image2_->resize(b.Image2.Width, b.Image2.Height);
  if (pictures) {
    image1_->SetImage(ToQImage(b.ImaBitmap));
    image2_->SetImage(ToQImage(b.BarBitmap));
  }
  image1_->SetRubberBand(b.Dragging ? std::optional<QRect>(QRect(QPoint(b.DragX1, b.DragY1),
                                                                 QPoint(b.DragX2, b.DragY2)))
                                    : std::nullopt);
  MirrorTimer();
}

void TLoadAstroForm::MirrorTexts() {
  const BrowserLogic& b = *logic_;
  if (windowTitle() != Q(b.Caption)) setWindowTitle(Q(b.Caption));
  // The two data lines keep their width: a long line takes a narrower font.
  for (const auto& [label, control] :
       {std::pair{label1_, &b.Label1}, std::pair{label2_, &b.Label2}}) {
    if (label->text() != Q(control->Caption)) {
      SetLabel(label, *control);
      label->setFont(FittingFont(font(), label->text(), label->width()));
      label->setToolTip(label->text());
    }
    SetState(label, *control);
  }
  const std::pair<QLabel*, const LabelControl*> labels[] = {
      {label3_, &b.Label3},   {label4_, &b.Label4},   {label5_, &b.Label5},  {label6_, &b.Label6},
      {label7_, &b.Label7},   {label8_, &b.Label8},   {label9_, &b.Label9},  {label10_, &b.Label10},
      {label11_, &b.Label11}, {label12_, &b.Label12}, {label13_, &b.Label13}};
  for (const auto& [label, control] : labels)
    SetLabel(label, *control);
}

void TLoadAstroForm::MirrorControls() {
  const BrowserLogic& b = *logic_;
  SetEdit(edit1_, b.Edit1);
  SetEdit(edit2_, b.Edit2);
  SetEdit(edit4_, b.Edit4);
  SetEdit(edit5_, b.Edit5);
  SetScrollBar(scroll1_, b.ScrollBar1);
  SetScrollBar(scroll2_, b.ScrollBar2);
  SetRadioGroup(radio1_, b.RadioGroup1);
  SetRadioGroup(radio2_, b.RadioGroup2);
  SetComboBox(combo1_, b.ComboBox1);
  SetComboBox(combo2_, b.ComboBox2);
  SetComboBox(combo3_, b.ComboBox3);
  SetState(updown1_, b.UpDown1);
  const std::pair<QAbstractButton*, const ButtonControl*> glyph_buttons[] = {
      {speed2_, &b.SpeedButton2},
      {speed3_, &b.SpeedButton3},
      {speed6_, &b.SpeedButton6},
      {speed7_, &b.SpeedButton7},
      {speed8_, &b.SpeedButton8}};
  for (const auto& [button, control] : glyph_buttons)
    SetButton(button, *control, false);
  const std::pair<QAbstractButton*, const ButtonControl*> captioned[] = {
      {speed1_, &b.SpeedButton1}, {speed4_, &b.SpeedButton4}, {speed5_, &b.SpeedButton5},
      {bitbtn1_, &b.BitBtn1},     {bitbtn2_, &b.BitBtn2},     {bitbtn3_, &b.BitBtn3},
      {bitbtn4_, &b.BitBtn4}};
  for (const auto& [button, control] : captioned)
    SetButton(button, *control, true);
}

void TLoadAstroForm::MirrorTimer() {
  const TimerControl& t = logic_->Timer1;
  if (!t.Enabled) {
    timer1_->stop();
  } else if (t.RestartCount != timer_restarts_seen_) {
    timer1_->start(t.Interval);
  }
  timer_restarts_seen_ = t.RestartCount;
}

}  // namespace kivrel::ui
