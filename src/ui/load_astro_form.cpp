#include "ui/load_astro_form.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <exception>
#include <optional>

#include "ui/big_ima_form.h"
#include "ui/ui_fonts.h"
#include "ui/widgets.h"

namespace kivrel::ui {

const char* const kFullMask =
    "*.fit;*.fts;*.fits;*.pic;*.bmp;*.dib;*.jpg;*.jpeg;*.jif;*.gif;*.tga;*.rle;*.pcx";

const FileTypeEntry kFileTypes[10] = {
    {"All files", kFullMask},
    {"FITS,PIC", "*.fit;*.fts;*.fits;*.pic"},
    {"FITS", "*.fit;*.fts;*.fits"},
    {"PIC", "*.pic"},
    {"BMP", "*.bmp;*.dib"},
    {"JPEG", "*.jpg;*.jpeg"},
    {"GIF", "*.gif"},
    {"TARGA", "*.tga"},
    {"RLE", "*.rle"},
    {"PCX", "*.pcx"},
};

namespace {

// The busy cursor for the life of the guard, whatever way the handler ends.
class BusyCursor {
 public:
  explicit BusyCursor(bool on) : on_(on) {
    if (on_) QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~BusyCursor() {
    if (on_) QApplication::restoreOverrideCursor();
  }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  bool on_;
};

std::string LocalPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

ShiftState ShiftFrom(const QMouseEvent* event) {
  ShiftState s;
  s.Left = event->buttons().testFlag(Qt::LeftButton);
  s.Right = event->buttons().testFlag(Qt::RightButton);
  s.Middle = event->buttons().testFlag(Qt::MiddleButton);
  s.Shift = event->modifiers().testFlag(Qt::ShiftModifier);
  s.Ctrl = event->modifiers().testFlag(Qt::ControlModifier);
  s.Alt = event->modifiers().testFlag(Qt::AltModifier);
  return s;
}

const QString& MessageTitle() {
  static const QString title = QStringLiteral("Kivrel");
  return title;
}

}  // namespace

TLoadAstroForm::TLoadAstroForm(const BrowserOptions& options, QWidget* parent)
    : QDialog(parent), logic_(std::make_unique<BrowserLogic>(options)) {
  setObjectName("LoadAstroForm");
  setFont(DialogFont());
  setFixedSize(kClientWidth, kClientHeight);
  logic_->ShowMessage = [this](const std::string& text) {
    ShowPlainMessage(QString::fromStdString(text));
  };
  BuildLeftPanel();
  BuildRightPanels();
  BuildButtonRow();
  ConnectFileControls();
  ConnectHandlers();
  ConnectMouse();
  Mirror();
}

TLoadAstroForm::~TLoadAstroForm() = default;

void TLoadAstroForm::ConnectFileControls() {
  BrowserLogic& b = *logic_;
  connect(tree_, &FolderTree::SelectionChanged, this, [this](const QString& path) {
    // The list shows the new folder; nothing is loaded and the preview keeps its picture.
    file_list_->SetDirectory(path);
    edit3_->setText(file_list_->Mask());
  });
  connect(file_list_, &FileListBox::FileChosen, this, &TLoadAstroForm::OnFileChosen);
  connect(file_list_, &FileListBox::RightPressed, this, &TLoadAstroForm::OnRightPressed);
  connect(edit3_, &QLineEdit::returnPressed, this, &TLoadAstroForm::OnEdit3Return);
  connect(edit3_, &QLineEdit::textChanged, this,
          [&b](const QString& t) { b.Edit3.Text = t.toStdString(); });
  b.Edit3.Text = edit3_->text().toStdString();
  connect(filter_combo_, &QComboBox::activated, this, &TLoadAstroForm::OnFileType);
}

void TLoadAstroForm::ConnectHandlers() {
  BrowserLogic& b = *logic_;
  // Read only when needed: every change goes to plain engine state.
  connect(edit1_, &QLineEdit::textEdited, this,
          [&b](const QString& t) { b.Edit1.Text = t.toStdString(); });
  connect(edit2_, &QLineEdit::textEdited, this,
          [&b](const QString& t) { b.Edit2.Text = t.toStdString(); });
  connect(edit5_, &QLineEdit::textEdited, this,
          [&b](const QString& t) { b.Edit5.Text = t.toStdString(); });
  connect(combo3_, &QComboBox::activated, this, [this, &b](int index) {
    b.ComboBox3.ItemIndex = index;
    b.ComboBox3.Text = combo3_->itemText(index).toStdString();
  });
  connect(radio1_, &RadioGroup::ItemClicked, this,
          [&b](int index) { b.RadioGroup1.ItemIndex = index; });

  connect(edit1_, &QLineEdit::returnPressed, this,
          [this, &b] { Run([&b] { b.Edit1KeyPress('\r'); }); });
  connect(edit2_, &QLineEdit::returnPressed, this,
          [this, &b] { Run([&b] { b.Edit2KeyPress('\r'); }); });
  connect(edit4_, &QLineEdit::textEdited, this,
          [this, &b](const QString& t) { Run([&] { b.Edit4Change(t.toStdString()); }); });
  connect(updown1_, &UpDown::Stepped, this,
          [this, &b](const QString& t) { Run([&] { b.Edit4Change(t.toStdString()); }); });
  connect(radio2_, &RadioGroup::ItemClicked, this,
          [this, &b](int index) { Run([&] { b.RadioGroup2Click(index); }); });
  connect(scroll1_, &QScrollBar::valueChanged, this,
          [this, &b](int v) { Run([&] { b.SetScrollBar1Position(v); }, false, false); });
  connect(scroll2_, &QScrollBar::valueChanged, this,
          [this, &b](int v) { Run([&] { b.SetScrollBar2Position(v); }, false, false); });
  connect(timer1_, &QTimer::timeout, this, [this, &b] { Run([&b] { b.Timer1Timer(); }); });
  connect(combo1_, &QComboBox::activated, this,
          [this, &b](int index) { Run([&] { b.SelectComboBox1(index); }); });
  connect(combo2_, &QComboBox::activated, this,
          [this, &b](int index) { Run([&] { b.SelectComboBox2(index); }); });

  const std::pair<QAbstractButton*, void (BrowserLogic::*)()> buttons[] = {
      {speed2_, &BrowserLogic::SpeedButton2Click}, {speed3_, &BrowserLogic::SpeedButton3Click},
      {speed4_, &BrowserLogic::SpeedButton4Click}, {speed5_, &BrowserLogic::SpeedButton5Click},
      {speed6_, &BrowserLogic::SpeedButton6Click}, {speed7_, &BrowserLogic::SpeedButton7Click},
      {speed8_, &BrowserLogic::SpeedButton8Click}};
  for (const auto& [button, handler] : buttons) {
    connect(button, &QAbstractButton::clicked, this,
            [this, &b, h = handler] { Run([&] { (b.*h)(); }); });
  }
  connect(speed1_, &QPushButton::clicked, this, &TLoadAstroForm::ShowRealSize);
  connect(bitbtn1_, &QPushButton::clicked, this, &TLoadAstroForm::SaveBitmap);
  // "Aide": there is no help viewer; the host hides the button.
  connect(bitbtn3_, &QPushButton::clicked, this, &QDialog::accept);
  connect(bitbtn4_, &QPushButton::clicked, this, &QDialog::reject);
}

void TLoadAstroForm::ConnectMouse() {
  connect(image1_, &PictureView::MousePressed, this, [this](QMouseEvent* e) {
    MouseButton button = MouseButton::Left;
    if (e->button() == Qt::RightButton) button = MouseButton::Right;
    if (e->button() == Qt::MiddleButton) button = MouseButton::Middle;
    const ShiftState shift = ShiftFrom(e);
    const QPoint p = e->position().toPoint();
    Run([&] { logic_->Image1MouseDown(button, shift, p.x(), p.y()); });
  });
  connect(image1_, &PictureView::MouseMoved, this, [this](QMouseEvent* e) {
    const ShiftState shift = ShiftFrom(e);
    const QPoint p = e->position().toPoint();
    Run([&] { logic_->Image1MouseMove(shift, p.x(), p.y()); }, false, false);
  });
}

void TLoadAstroForm::Run(const std::function<void()>& handler, bool busy, bool pictures) {
  std::optional<QString> error;
  {
    const BusyCursor cursor(busy);
    try {
      handler();
    } catch (const std::exception& e) {
      error = QString::fromStdString(e.what());
    }
  }
  Mirror(pictures);
  if (error) ShowError(*error);
}

void TLoadAstroForm::ShowError(const QString& text) {
  QMessageBox box(QMessageBox::Critical, MessageTitle(), text, QMessageBox::Ok, this);
  box.exec();
}

void TLoadAstroForm::ShowPlainMessage(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, MessageTitle(), text, QMessageBox::Ok, this);
  box.exec();
}

QString TLoadAstroForm::TreeSelection() const {
  return tree_->Selection();
}

void TLoadAstroForm::SetTreeSelection(const QString& path) {
  tree_->SetSelection(path);
}

void TLoadAstroForm::PlaceAt(const QPoint& screen_pos) {
  QScreen* screen = QGuiApplication::screenAt(screen_pos);
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  const QSize outer = size().grownBy(FrameMargins(this));
  const Point p = kivrel::PlaceAt(screen_pos.x() - area.x(), screen_pos.y() - area.y(),
                                  outer.width(), outer.height(), area.width(), area.height());
  move(area.x() + p.x, area.y() + p.y);
  placed_at_ = screen_pos;
  placed_outer_ = outer;
  placed_ = true;
}

void TLoadAstroForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!placed_) return;
  // The window manager's frame is known only once the window is up: place again with it.
  QTimer::singleShot(0, this, [this] {
    if (placed_ && size().grownBy(FrameMargins(this)) != placed_outer_) PlaceAt(placed_at_);
  });
}

bool TLoadAstroForm::OpenFile(const QString& path) {
  const QFileInfo info(path);
  SetTreeSelection(info.absolutePath());
  return file_list_->SelectName(info.fileName());
}

void TLoadAstroForm::OnFileChosen(const QString& path) {
  edit3_->setText(QFileInfo(path).fileName());
  Run([&] { logic_->FileListBox1Click(LocalPath(path)); });
}

void TLoadAstroForm::OnRightPressed(const QString& path) {
  if (big_ima_ == nullptr) return;
  bool ok = false;
  Run([&] { ok = big_ima_->Logic().OpenHeader(*logic_, LocalPath(path)); }, true, false);
  if (ok) big_ima_->ShowModal();
}

void TLoadAstroForm::ShowRealSize() {
  if (big_ima_ == nullptr) return;
  const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  const QSize size = s != nullptr ? s->geometry().size() : QSize(1024, 768);
  big_ima_->Logic().OpenPicture(*logic_, size.width(), size.height());
  big_ima_->ShowModal();
}

void TLoadAstroForm::OnEdit3Return() {
  const QString text = edit3_->text().trimmed();
  if (text.contains('*') || text.contains('?')) {
    file_list_->SetMask(text);
  } else if (!text.isEmpty()) {
    file_list_->SelectName(text);
  }
}

void TLoadAstroForm::OnFileType(int index) {
  const QString mask = filter_combo_->itemData(index).toString();
  file_list_->SetMask(mask);
  edit3_->setText(mask);
}

void TLoadAstroForm::SaveBitmap() {
  QFileDialog dialog(this, QStringLiteral("Enregistrer sous"), file_list_->Directory(),
                     QStringLiteral("Bitmaps (*.bmp)"));
  dialog.setObjectName("SavePictureDialog1");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("bmp"));
  // Asked below, once the default extension is on the name.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString file = dialog.selectedFiles().first();
  if (QFileInfo::exists(file)) {
    QMessageBox ask(QMessageBox::Warning, QStringLiteral("Sauvegarde BMP"),
                    QStringLiteral("Le fichier %1 existe déjà.\nVoulez-vous le remplacer ?")
                        .arg(QDir::toNativeSeparators(file)),
                    QMessageBox::Yes | QMessageBox::No, this);
    ask.setObjectName("ConfirmReplace");
    ask.setDefaultButton(QMessageBox::No);
    ask.button(QMessageBox::Yes)->setText(QStringLiteral("Oui"));
    ask.button(QMessageBox::No)->setText(QStringLiteral("Non"));
    if (ask.exec() != QMessageBox::Yes) return;
  }
  Run([&] { logic_->BitBtn1Click(LocalPath(file)); }, true, false);
}

}  // namespace kivrel::ui
