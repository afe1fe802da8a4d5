// The dialog's widgets at their places (pixels, left, top, width, height, relative to their
// panel), named after their controls.
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

#include "ui/glyphs.h"
#include "ui/load_astro_form.h"
#include "ui/ui_fonts.h"
#include "ui/widgets.h"

namespace kivrel::ui {
namespace {

template <typename W, typename... Args>
W* Make(QWidget* parent, const char* name, const QRect& geometry, Args&&... args) {
  auto* widget = new W(std::forward<Args>(args)..., parent);
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(geometry);
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

void TLoadAstroForm::BuildLeftPanel() {
  panel2_ = MakePanel(this, "Panel2", QRect(0, 0, 281, 398));
  tree_ = Make<FolderTree>(panel2_, "SystemTreeView1", QRect(0, 2, 145, 228));
  file_list_ = Make<FileListBox>(panel2_, "FileListBox1", QRect(144, 2, 135, 228));
  file_list_->SetMask(QString::fromLatin1(kFullMask));
  edit3_ = Make<QLineEdit>(panel2_, "Edit3", QRect(8, 232, 161, 21));
  edit3_->setText(QString::fromLatin1(kFullMask));
  filter_combo_ = Make<QComboBox>(panel2_, "FilterComboBox1", QRect(168, 232, 110, 21));
  for (const FileTypeEntry& entry : kFileTypes)
    filter_combo_->addItem(QString::fromLatin1(entry.description),
                           QString::fromLatin1(entry.masks));
  radio1_ = Make<RadioGroup>(panel2_, "RadioGroup1", QRect(8, 255, 270, 35), 2);
  radio2_ = Make<RadioGroup>(panel2_, "RadioGroup2", QRect(8, 292, 270, 35), 5);

  panel5_ = MakePanel(panel2_, "Panel5", QRect(8, 328, 173, 26));
  // Two pixels left and one right of the designed places: "Inversion de l'image" is wider in
  // the fonts found here.
  label9_ = MakeLabel(panel5_, "Label9", 2, 6);
  speed3_ =
      MakeGlyphButton(panel5_, "SpeedButton3", QRect(101, 2, 23, 22), Glyph::MirrorLeftRight, true);
  speed2_ =
      MakeGlyphButton(panel5_, "SpeedButton2", QRect(124, 2, 23, 22), Glyph::MirrorTopBottom, true);
  speed6_ = MakeGlyphButton(panel5_, "SpeedButton6", QRect(148, 2, 23, 22), Glyph::Orient, false);

  panel6_ = MakePanel(panel2_, "Panel6", QRect(182, 328, 95, 25));
  label11_ = MakeLabel(panel6_, "Label11", 4, 6);
  edit4_ = Make<QLineEdit>(panel6_, "Edit4", QRect(43, 2, 20, 21));
  edit4_->setValidator(new LayerValidator(edit4_));
  edit4_->setTextMargins(0, 0, 0, 0);
  updown1_ = Make<UpDown>(panel6_, "UpDown1", QRect(63, 2, 12, 21), edit4_, 0, 99);
  label10_ = MakeLabel(panel6_, "Label10", 78, 6);

  panel7_ = MakePanel(panel2_, "Panel7", QRect(8, 358, 270, 35));
  label12_ = MakeLabel(panel7_, "Label12", 4, 12);
  // Four pixels left and six wider than designed, for "Gradient 1" with its arrow.
  combo3_ = Make<QComboBox>(panel7_, "ComboBox3", QRect(31, 8, 84, 21));
  label13_ = MakeLabel(panel7_, "Label13", 117, 12);
  edit5_ = Make<QLineEdit>(panel7_, "Edit5", QRect(144, 8, 65, 21));
  speed7_ =
      MakeGlyphButton(panel7_, "SpeedButton7", QRect(212, 7, 23, 22), Glyph::ApplyFilter, false);
  speed8_ = MakeGlyphButton(panel7_, "SpeedButton8", QRect(240, 7, 23, 22), Glyph::Restore, false);
}

void TLoadAstroForm::BuildRightPanels() {
  label2_ = Make<QLabel>(this, "Label2", QRect(296, 5, kClientWidth - 296, 14));
  image1_ = Make<PictureView>(this, "Image1", QRect(292, 20, 320, 240));
  image1_->setCursor(Qt::CrossCursor);
  image1_->setMouseTracking(true);

  panel4_ = MakePanel(this, "Panel4", QRect(281, 264, 345, 41));
  label1_ = Make<QLabel>(panel4_, "Label1", QRect(8, 2, 321, 14));
  image2_ = Make<PictureView>(panel4_, "Image2", QRect(12, 18, 297, 15));
  label5_ = MakeLabel(panel4_, "Label5", 3, 18);
  label6_ = MakeLabel(panel4_, "Label6", 312, 18);
  label5_->setFont(BarLabelFont());
  label6_->setFont(BarLabelFont());

  panel3_ = MakePanel(this, "Panel3", QRect(281, 304, 345, 57));
  label7_ = MakeLabel(panel3_, "Label7", 4, 9);
  edit1_ = Make<QLineEdit>(panel3_, "Edit1", QRect(28, 5, 75, 21));
  label8_ = MakeLabel(panel3_, "Label8", 4, 32);
  edit2_ = Make<QLineEdit>(panel3_, "Edit2", QRect(28, 28, 75, 21));
  scroll1_ = Make<QScrollBar>(panel3_, "ScrollBar1", QRect(104, 9, 233, 13), Qt::Horizontal);
  scroll2_ = Make<QScrollBar>(panel3_, "ScrollBar2", QRect(104, 32, 233, 13), Qt::Horizontal);

  panel1_ = MakePanel(this, "Panel1", QRect(281, 360, 345, 38));
  label3_ = MakeLabel(panel1_, "Label3", 4, 12);
  combo1_ = Make<QComboBox>(panel1_, "ComboBox1", QRect(32, 8, 129, 21));
  label4_ = MakeLabel(panel1_, "Label4", 164, 12);
  combo2_ = Make<QComboBox>(panel1_, "ComboBox2", QRect(208, 8, 129, 21));
  for (QComboBox* list : {combo1_, combo2_})
    list->setMaxVisibleItems(20);

  timer1_ = new QTimer(this);
  timer1_->setObjectName("Timer1");
  timer1_->setSingleShot(true);
}

void TLoadAstroForm::BuildButtonRow() {
  bitbtn1_ = MakeButton(this, "BitBtn1", 4, 107);
  bitbtn2_ = MakeButton(this, "BitBtn2", 120, 75);
  bitbtn2_->setIcon(MakeGlyph(Glyph::Help));
  speed1_ = MakeButton(this, "SpeedButton1", 200, 75);
  speed4_ = MakeButton(this, "SpeedButton4", 281, 75);
  speed5_ = MakeButton(this, "SpeedButton5", 364, 75);
  bitbtn3_ = MakeButton(this, "BitBtn3", 468, 75);
  bitbtn3_->setIcon(MakeGlyph(Glyph::Ok));
  bitbtn4_ = MakeButton(this, "BitBtn4", 550, 75);
  bitbtn4_->setIcon(MakeGlyph(Glyph::Cancel));
}

}  // namespace kivrel::ui
