#include "ui/browser_dialog.h"

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

#include "browser/dialog/control_table.h"
#include "ui/real_size_window.h"
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
  s.left = event->buttons().testFlag(Qt::LeftButton);
  s.right = event->buttons().testFlag(Qt::RightButton);
  s.middle = event->buttons().testFlag(Qt::MiddleButton);
  s.shift = event->modifiers().testFlag(Qt::ShiftModifier);
  s.ctrl = event->modifiers().testFlag(Qt::ControlModifier);
  s.alt = event->modifiers().testFlag(Qt::AltModifier);
  return s;
}

const QString& MessageTitle() {
  static const QString title = QStringLiteral("Kivrel");
  return title;
}

}  // namespace

BrowserDialog::BrowserDialog(const BrowserOptions& options, QWidget* parent)
    : QDialog(parent), controller_(std::make_unique<BrowserController>(options)) {
  setObjectName("BrowserDialog");
  setFont(DialogFont());
  setFixedSize(kClientWidth, kClientHeight);
  controller_->ShowMessage = [this](const std::string& text) {
    ShowPlainMessage(QString::fromStdString(text));
  };
  BuildLeftPanel();
  BuildRightPanels();
  BuildButtonRow();
  FindControlWidgets();
  ConnectFileControls();
  ConnectControls();
  ConnectDialogButtons();
  Mirror();
}

BrowserDialog::~BrowserDialog() = default;

void BrowserDialog::FindControlWidgets() {
  for (const ControlEntry& entry : ControlTable()) {
    QObject* widget = findChild<QObject*>(
        QString::fromLatin1(entry.name.data(), static_cast<int>(entry.name.size())));
    if (widget != nullptr) control_widgets_[entry.name] = widget;
  }
}

QWidget* BrowserDialog::WidgetOf(const Control& state) const {
  for (const ControlEntry& entry : ControlTable()) {
    if (CommonState(entry, *controller_) != &state) continue;
    const auto it = control_widgets_.find(entry.name);
    return it == control_widgets_.end() ? nullptr : qobject_cast<QWidget*>(it->second);
  }
  return nullptr;
}

PictureView* BrowserDialog::Preview() const {
  return static_cast<PictureView*>(WidgetOf(controller_->view_controls.preview));
}

void BrowserDialog::ConnectFileControls() {
  connect(tree_, &FolderTree::SelectionChanged, this, [this](const QString& path) {
    // The list shows the new folder; nothing is loaded and the preview keeps its picture.
    file_list_->SetDirectory(path);
    name_edit_->setText(file_list_->Mask());
  });
  connect(file_list_, &FileListBox::FileChosen, this, &BrowserDialog::OnFileChosen);
  connect(file_list_, &FileListBox::RightPressed, this, &BrowserDialog::OnRightPressed);
  connect(name_edit_, &QLineEdit::returnPressed, this, &BrowserDialog::OnNameReturn);
  connect(name_edit_, &QLineEdit::textChanged, this,
          [this](const QString& t) { controller_->file.name_edit.text = t.toStdString(); });
  controller_->file.name_edit.text = name_edit_->text().toStdString();
  connect(file_types_, &QComboBox::activated, this, &BrowserDialog::OnFileType);
}

// Every event of every control goes to the handler the control table names for it.
void BrowserDialog::ConnectControls() {
  BrowserController& c = *controller_;
  for (const ControlEntry& entry : ControlTable()) {
    const auto it = control_widgets_.find(entry.name);
    if (it == control_widgets_.end()) continue;
    QObject* w = it->second;
    const ControlEvents& ev = entry.events;
    if (auto* button = qobject_cast<QAbstractButton*>(w); button && ev.click) {
      connect(button, &QAbstractButton::clicked, this,
              [this, &c, h = ev.click] { Run([&] { h(c); }); });
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      if (ev.text_typed) {
        connect(edit, &QLineEdit::textEdited, this,
                [this, &c, h = ev.text_typed](const QString& t) {
                  Run([&] { h(c, t.toStdString()); });
                });
      }
      if (ev.key) {
        connect(edit, &QLineEdit::returnPressed, this,
                [this, &c, h = ev.key] { Run([&] { h(c, '\r'); }); });
      }
    }
    if (auto* updown = qobject_cast<UpDown*>(w); updown && ev.text_typed) {
      connect(updown, &UpDown::Stepped, this, [this, &c, h = ev.text_typed](const QString& t) {
        Run([&] { h(c, t.toStdString()); });
      });
    }
    if (auto* bar = qobject_cast<QScrollBar*>(w); bar && ev.moved) {
      connect(bar, &QScrollBar::valueChanged, this,
              [this, &c, h = ev.moved](int v) { Run([&] { h(c, v); }, false); });
    }
    if (auto* group = qobject_cast<RadioGroup*>(w); group && ev.select) {
      connect(group, &RadioGroup::ItemClicked, this,
              [this, &c, h = ev.select](int index) { Run([&] { h(c, index); }); });
    }
    if (auto* list = qobject_cast<QComboBox*>(w); list && ev.select) {
      connect(list, &QComboBox::activated, this,
              [this, &c, h = ev.select](int index) { Run([&] { h(c, index); }); });
    }
    if (auto* timer = qobject_cast<QTimer*>(w); timer && ev.elapsed) {
      connect(timer, &QTimer::timeout, this, [this, &c, h = ev.elapsed] { Run([&] { h(c); }); });
    }
    if (auto* view = qobject_cast<PictureView*>(w); view && ev.mouse_down) {
      connect(view, &PictureView::MousePressed, this,
              [this, &c, h = ev.mouse_down](QMouseEvent* e) {
                MouseButton button = MouseButton::kLeft;
                if (e->button() == Qt::RightButton) button = MouseButton::kRight;
                if (e->button() == Qt::MiddleButton) button = MouseButton::kMiddle;
                const ShiftState shift = ShiftFrom(e);
                const QPoint p = e->position().toPoint();
                Run([&] { h(c, button, shift, p.x(), p.y()); });
              });
    }
    if (auto* view = qobject_cast<PictureView*>(w); view && ev.mouse_move) {
      connect(view, &PictureView::MouseMoved, this, [this, &c, h = ev.mouse_move](QMouseEvent* e) {
        const ShiftState shift = ShiftFrom(e);
        const QPoint p = e->position().toPoint();
        Run([&] { h(c, shift, p.x(), p.y()); }, false);
      });
    }
  }
}

// The buttons whose work is the window's own: a file to save to, the real-size window, and
// the end of the dialog. "Aide": there is no help viewer; the start window hides the button.
void BrowserDialog::ConnectDialogButtons() {
  BrowserController& c = *controller_;
  auto button = [this](const Control& state) {
    return qobject_cast<QAbstractButton*>(WidgetOf(state));
  };
  connect(button(c.view_controls.real_size), &QAbstractButton::clicked, this,
          &BrowserDialog::ShowRealSize);
  connect(button(c.file.save), &QAbstractButton::clicked, this, &BrowserDialog::SaveBitmap);
  connect(button(c.texts.ok), &QAbstractButton::clicked, this, &QDialog::accept);
  connect(button(c.texts.cancel), &QAbstractButton::clicked, this, &QDialog::reject);
}

void BrowserDialog::Run(const std::function<void()>& handler, bool busy) {
  std::optional<QString> error;
  {
    const BusyCursor cursor(busy);
    try {
      handler();
    } catch (const std::exception& e) {
      error = QString::fromStdString(e.what());
    }
  }
  Mirror();
  if (error) ShowError(*error);
}

void BrowserDialog::ShowError(const QString& text) {
  QMessageBox box(QMessageBox::Critical, MessageTitle(), text, QMessageBox::Ok, this);
  box.exec();
}

void BrowserDialog::ShowPlainMessage(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, MessageTitle(), text, QMessageBox::Ok, this);
  box.exec();
}

QString BrowserDialog::TreeSelection() const {
  return tree_->Selection();
}

void BrowserDialog::SetTreeSelection(const QString& path) {
  tree_->SetSelection(path);
}

void BrowserDialog::PlaceAt(const QPoint& screen_pos) {
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

void BrowserDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!placed_) return;
  // The window manager's frame is known only once the window is up: place again with it.
  QTimer::singleShot(0, this, [this] {
    if (placed_ && size().grownBy(FrameMargins(this)) != placed_outer_) PlaceAt(placed_at_);
  });
}

bool BrowserDialog::OpenFile(const QString& path) {
  const QFileInfo info(path);
  SetTreeSelection(info.absolutePath());
  return file_list_->SelectName(info.fileName());
}

void BrowserDialog::OnFileChosen(const QString& path) {
  name_edit_->setText(QFileInfo(path).fileName());
  Run([&] { controller_->ChooseFile(LocalPath(path)); });
}

void BrowserDialog::OnRightPressed(const QString& path) {
  if (real_size_ == nullptr) return;
  bool ok = false;
  Run([&] { ok = real_size_->Controller().OpenHeader(*controller_, LocalPath(path)); });
  if (ok) real_size_->ShowModal();
}

void BrowserDialog::ShowRealSize() {
  if (real_size_ == nullptr) return;
  const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  const QSize size = s != nullptr ? s->geometry().size() : QSize(1024, 768);
  real_size_->Controller().OpenPicture(*controller_, size.width(), size.height());
  real_size_->ShowModal();
}

void BrowserDialog::OnNameReturn() {
  const QString text = name_edit_->text().trimmed();
  if (text.contains('*') || text.contains('?')) {
    file_list_->SetMask(text);
  } else if (!text.isEmpty()) {
    file_list_->SelectName(text);
  }
}

void BrowserDialog::OnFileType(int index) {
  const QString mask = file_types_->itemData(index).toString();
  file_list_->SetMask(mask);
  name_edit_->setText(mask);
}

void BrowserDialog::SaveBitmap() {
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
  Run([&] { controller_->SaveBitmap(LocalPath(file)); });
}

}  // namespace kivrel::ui
