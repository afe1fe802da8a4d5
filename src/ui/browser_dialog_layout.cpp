// The dialog's widgets at their places (pixels, left, top, width, height, relative to their
// panel), each named after its control in the dialog's layout: the names the control table
// knows them by.
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

#include "ui/browser_dialog.h"
#include "ui/glyphs.h"
#include "ui/layout_fit.h"
#include "ui/ui_fonts.h"
#include "ui/widgets.h"

namespace kivrel::ui {
namespace {

template <typename W, typename... Args>
W* Make(QWidget* parent, const char* name, const QRect& geometry, Args&&... args) {
  auto* widget = new W(std::forward<Args>(args)..., parent);
  widget->setObjectName(QString::fromLatin1(name));
  PlaceDesigned(widget, geometry);  // fitted to the fonts later (browser_dialog_fit.cpp)
  return widget;
}

QFrame* MakePanel(QWidget* parent, const char* name, const QRect& geometry) {
  auto* panel = Make<QFrame>(parent, name, geometry);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setLineWidth(1);
  return panel;
}

// A label that takes the size of its text, as its text changes.
QLabel* MakeLabel(QWidget* parent, const char* name, int left, int top) {
  auto* label = Make<QLabel>(parent, name, QRect(left, top, 10, 13));
  label->setProperty("autoSize", true);
  return label;
}

QToolButton* MakeGlyphButton(QWidget* parent, const char* name, const QRect& geometry, Glyph glyph,
                             bool toggle) {
  auto* button = Make<QToolButton>(parent, name, geometry);
  button->setIcon(MakeGlyph(glyph));
  button->setIconSize(QSize(16, 16));
  button->setCheckable(toggle);
  return button;
}

QPushButton* MakeButton(QWidget* parent, const char* name, int left, int width) {
  auto* button = Make<QPushButton>(parent, name, QRect(left, 400, width, 25));
  // Enter in an edit must never press a button of the dialog.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

}  // namespace

void BrowserDialog::BuildLeftPanel() {
  QFrame* panel2 = MakePanel(this, "Panel2", QRect(0, 0, 281, 398));
  tree_ = Make<FolderTree>(panel2, "SystemTreeView1", QRect(0, 2, 145, 228));
  file_list_ = Make<FileListBox>(panel2, "FileListBox1", QRect(144, 2, 135, 228));
  file_list_->SetMask(QString::fromLatin1(kFullMask));
  name_edit_ = Make<QLineEdit>(panel2, "Edit3", QRect(8, 232, 161, 21));
  name_edit_->setText(QString::fromLatin1(kFullMask));
  file_types_ = Make<QComboBox>(panel2, "FilterComboBox1", QRect(168, 232, 110, 21));
  for (const FileTypeEntry& entry : kFileTypes)
    file_types_->addItem(QString::fromLatin1(entry.description), QString::fromLatin1(entry.masks));
  Make<RadioGroup>(panel2, "RadioGroup1", QRect(8, 255, 270, 35), 2);
  Make<RadioGroup>(panel2, "RadioGroup2", QRect(8, 292, 270, 35), 5);

  QFrame* panel5 = MakePanel(panel2, "Panel5", QRect(8, 328, 173, 26));
  MakeLabel(panel5, "Label9", 2, 6);
  MakeGlyphButton(panel5, "SpeedButton3", QRect(101, 2, 23, 22), Glyph::MirrorLeftRight, true);
  MakeGlyphButton(panel5, "SpeedButton2", QRect(124, 2, 23, 22), Glyph::MirrorTopBottom, true);
  MakeGlyphButton(panel5, "SpeedButton6", QRect(148, 2, 23, 22), Glyph::Orient, false);

  QFrame* panel6 = MakePanel(panel2, "Panel6", QRect(182, 328, 95, 25));
  MakeLabel(panel6, "Label11", 4, 6);
  auto* layer_edit = Make<QLineEdit>(panel6, "Edit4", QRect(43, 2, 20, 21));
  layer_edit->setValidator(new LayerValidator(layer_edit));
  layer_edit->setTextMargins(0, 0, 0, 0);
  Make<UpDown>(panel6, "UpDown1", QRect(63, 2, 12, 21), layer_edit, 0, 99);
  MakeLabel(panel6, "Label10", 78, 6);

  QFrame* panel7 = MakePanel(panel2, "Panel7", QRect(8, 358, 270, 35));
  MakeLabel(panel7, "Label12", 4, 12);
  // Four pixels left and six wider than designed, for "Gradient 1" with its arrow.
  Make<QComboBox>(panel7, "ComboBox3", QRect(31, 8, 84, 21));
  MakeLabel(panel7, "Label13", 117, 12);
  Make<QLineEdit>(panel7, "Edit5", QRect(144, 8, 65, 21));
  MakeGlyphButton(panel7, "SpeedButton7", QRect(212, 7, 23, 22), Glyph::ApplyFilter, false);
  MakeGlyphButton(panel7, "SpeedButton8", QRect(240, 7, 23, 22), Glyph::Restore, false);
}

void BrowserDialog::BuildRightPanels() {
  Make<QLabel>(this, "Label2", QRect(296, 5, kClientWidth - 296, 14));
  auto* preview = Make<PictureView>(this, "Image1", QRect(292, 20, 320, 240));
  preview->setCursor(Qt::CrossCursor);
  preview->setMouseTracking(true);

  QFrame* panel4 = MakePanel(this, "Panel4", QRect(281, 264, 345, 41));
  Make<QLabel>(panel4, "Label1", QRect(8, 2, 321, 14));
  Make<PictureView>(panel4, "Image2", QRect(12, 18, 297, 15));
  MakeLabel(panel4, "Label5", 3, 18)->setFont(BarLabelFont());
  MakeLabel(panel4, "Label6", 312, 18)->setFont(BarLabelFont());

  QFrame* panel3 = MakePanel(this, "Panel3", QRect(281, 304, 345, 57));
  MakeLabel(panel3, "Label7", 4, 9);
  Make<QLineEdit>(panel3, "Edit1", QRect(28, 5, 75, 21));
  MakeLabel(panel3, "Label8", 4, 32);
  Make<QLineEdit>(panel3, "Edit2", QRect(28, 28, 75, 21));
  Make<QScrollBar>(panel3, "ScrollBar1", QRect(104, 9, 233, 13), Qt::Horizontal);
  Make<QScrollBar>(panel3, "ScrollBar2", QRect(104, 32, 233, 13), Qt::Horizontal);

  QFrame* panel1 = MakePanel(this, "Panel1", QRect(281, 360, 345, 38));
  MakeLabel(panel1, "Label3", 4, 12);
  Make<QComboBox>(panel1, "ComboBox1", QRect(32, 8, 129, 21))->setMaxVisibleItems(20);
  MakeLabel(panel1, "Label4", 164, 12);
  Make<QComboBox>(panel1, "ComboBox2", QRect(208, 8, 129, 21))->setMaxVisibleItems(20);

  redraw_timer_ = new QTimer(this);
  redraw_timer_->setObjectName("Timer1");
  redraw_timer_->setSingleShot(true);
}

void BrowserDialog::BuildButtonRow() {
  MakeButton(this, "BitBtn1", 4, 107);
  MakeButton(this, "BitBtn2", 120, 75)->setIcon(MakeGlyph(Glyph::Help));
  MakeButton(this, "SpeedButton1", 200, 75);
  MakeButton(this, "SpeedButton4", 281, 75);
  MakeButton(this, "SpeedButton5", 364, 75);
  MakeButton(this, "BitBtn3", 468, 75)->setIcon(MakeGlyph(Glyph::Ok));
  MakeButton(this, "BitBtn4", 550, 75)->setIcon(MakeGlyph(Glyph::Cancel));
}

}  // namespace kivrel::ui
