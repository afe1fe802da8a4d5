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
#include "ui/background_loader.h"
#include "ui/event_guard.h"
#include "ui/real_size_window.h"
#include "ui/ui_fonts.h"
#include "ui/widgets.h"

namespace kivrel::ui {

const char* const kFullMask =
    "*.fit;*.fts;*.fits;*.fz;*.fit.gz;*.fts.gz;*.fits.gz;*.pic;*.bmp;*.dib;*.jpg;*.jpeg;*.jif;"
    "*.gif;*.tga;*.rle;*.pcx";

const FileTypeEntry kFileTypes[10] = {
    {"All files", kFullMask},
    {"FITS,PIC", "*.fit;*.fts;*.fits;*.fz;*.fit.gz;*.fts.gz;*.fits.gz;*.pic"},
    {"FITS", "*.fit;*.fts;*.fits;*.fz;*.fit.gz;*.fts.gz;*.fits.gz"},
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

// What an event of `widget` does, for the message when it fails: the control's caption when it
// has one ("le clic sur « Zoom 1:1 »"), else what kind of control it is.
QString WhatFor(const QObject* widget) {
  if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
    if (!button->text().isEmpty())
      return QStringLiteral("le clic sur « %1 »").arg(QString(button->text()).remove('&'));
    return QStringLiteral("le clic sur le bouton %1").arg(button->objectName());
  }
  if (const auto* group = qobject_cast<const RadioGroup*>(widget))
    return QStringLiteral("le choix « %1 »").arg(group->title());
  if (qobject_cast<const QScrollBar*>(widget) != nullptr)
    return QStringLiteral("le déplacement d'un seuil");
  if (qobject_cast<const QComboBox*>(widget) != nullptr)
    return QStringLiteral("le choix dans une liste");
  if (qobject_cast<const QLineEdit*>(widget) != nullptr || qobject_cast<const UpDown*>(widget))
    return QStringLiteral("la saisie");
  if (qobject_cast<const QTimer*>(widget) != nullptr)
    return QStringLiteral("le rafraîchissement de l'image");
  return QStringLiteral("la souris sur l'image");
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
  loader_ = std::make_unique<BackgroundLoader>(
      controller_->Decoder(), [this](LoadOutcome&& outcome) { OnLoadArrived(std::move(outcome)); });
  FindControlWidgets();
  ConnectFileControls();
  ConnectControls();
  ConnectDialogButtons();
  Mirror();
}

BrowserDialog::~BrowserDialog() {
  // The reads under way use the controller's decoder: they end before the controller goes.
  loader_.reset();
  if (busy_cursor_) QApplication::restoreOverrideCursor();
}

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
    loader_->DropReadAhead();
    last_row_ = -1;
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

// Every event of every control goes to the handler the control table names for it, but the
// layer's: its load runs off the window's thread like a click on a file.
void BrowserDialog::ConnectControls() {
  BrowserController& c = *controller_;
  const Control* layer_edit = &c.file.layer_edit;
  const Control* layer_updown = &c.file.layer_updown;
  for (const ControlEntry& entry : ControlTable()) {
    const auto it = control_widgets_.find(entry.name);
    if (it == control_widgets_.end()) continue;
    QObject* w = it->second;
    const ControlEvents& ev = entry.events;
    const Control* state = CommonState(entry, c);
    const bool layer = state == layer_edit || state == layer_updown;
    if (auto* button = qobject_cast<QAbstractButton*>(w); button && ev.click) {
      connect(button, &QAbstractButton::clicked, this,
              [this, &c, h = ev.click, w] { Run([&] { h(c); }, true, WhatFor(w)); });
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      if (layer) {
        connect(edit, &QLineEdit::textEdited, this, &BrowserDialog::OnLayerText);
      } else if (ev.text_typed) {
        connect(edit, &QLineEdit::textEdited, this,
                [this, &c, h = ev.text_typed, w](const QString& t) {
                  Run([&] { h(c, t.toStdString()); }, true, WhatFor(w));
                });
      }
      if (ev.key) {
        connect(edit, &QLineEdit::returnPressed, this,
                [this, &c, h = ev.key, w] { Run([&] { h(c, '\r'); }, true, WhatFor(w)); });
      }
    }
    if (auto* updown = qobject_cast<UpDown*>(w); updown && layer) {
      connect(updown, &UpDown::Stepped, this, &BrowserDialog::OnLayerText);
    }
    if (auto* bar = qobject_cast<QScrollBar*>(w); bar && ev.moved) {
      connect(bar, &QScrollBar::valueChanged, this, [this, &c, h = ev.moved, w](int v) {
        Run([&] { h(c, v); }, false, WhatFor(w));
      });
    }
    if (auto* group = qobject_cast<RadioGroup*>(w); group && ev.select) {
      connect(group, &RadioGroup::ItemClicked, this, [this, &c, h = ev.select, w](int index) {
        Run([&] { h(c, index); }, true, WhatFor(w));
      });
    }
    if (auto* list = qobject_cast<QComboBox*>(w); list && ev.select) {
      connect(list, &QComboBox::activated, this, [this, &c, h = ev.select, w](int index) {
        Run([&] { h(c, index); }, true, WhatFor(w));
      });
    }
    if (auto* timer = qobject_cast<QTimer*>(w); timer && ev.elapsed) {
      connect(timer, &QTimer::timeout, this,
              [this, &c, h = ev.elapsed, w] { Run([&] { h(c); }, true, WhatFor(w)); });
    }
    if (auto* view = qobject_cast<PictureView*>(w); view && ev.mouse_down) {
      connect(view, &PictureView::MousePressed, this,
              [this, &c, h = ev.mouse_down, w](QMouseEvent* e) {
                MouseButton button = MouseButton::kLeft;
                if (e->button() == Qt::RightButton) button = MouseButton::kRight;
                if (e->button() == Qt::MiddleButton) button = MouseButton::kMiddle;
                const ShiftState shift = ShiftFrom(e);
                const QPoint p = e->position().toPoint();
                Run([&] { h(c, button, shift, p.x(), p.y()); }, true, WhatFor(w));
              });
    }
    if (auto* view = qobject_cast<PictureView*>(w); view && ev.mouse_move) {
      connect(view, &PictureView::MouseMoved, this,
              [this, &c, h = ev.mouse_move, w](QMouseEvent* e) {
                const ShiftState shift = ShiftFrom(e);
                const QPoint p = e->position().toPoint();
                Run([&] { h(c, shift, p.x(), p.y()); }, false, WhatFor(w));
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

void BrowserDialog::Run(const std::function<void()>& handler, bool busy, const QString& what) {
  std::optional<QString> failure;
  {
    const BusyCursor cursor(busy);
    failure = RunGuarded(handler, what);
  }
  // The widgets show the state as the handler left it, also after a throw.
  const std::optional<QString> mirror_failure =
      RunGuarded([this] { Mirror(); }, QStringLiteral("l'affichage du dialogue"));
  if (!failure) failure = mirror_failure;
  if (failure) ShowGuardMessage(this, *failure);
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
  const int row = file_list_->currentRow();
  if (row >= 0 && last_row_ >= 0 && row != last_row_) direction_ = row > last_row_ ? 1 : -1;
  last_row_ = row;
  std::optional<LoadJob> job;
  Run([&] { job = controller_->PlanChoice(LocalPath(path)); }, false,
      QStringLiteral("le choix du fichier"));
  if (job) StartLoad(std::move(*job));
}

void BrowserDialog::OnLayerText(const QString& text) {
  std::optional<LoadJob> job;
  Run([&] { job = controller_->PlanLayerChange(text.toStdString()); }, false,
      QStringLiteral("le changement de couche"));
  if (job) StartLoad(std::move(*job));
}

bool BrowserDialog::Loading() const {
  return loader_->Loading();
}

void BrowserDialog::StartLoad(LoadJob job) {
  loader_->Load(std::move(job));  // may deliver at once, from the read-ahead
  UpdateBusyCursor();
}

void BrowserDialog::OnLoadArrived(LoadOutcome&& outcome) {
  Run([&] { controller_->FinishLoad(std::move(outcome)); }, false,
      QStringLiteral("le chargement de l'image"));
  UpdateBusyCursor();
  ReadNeighboursAhead();
  emit LoadFinished();
}

// The files next to the one just shown, the way the user goes first.
void BrowserDialog::ReadNeighboursAhead() {
  const int row = file_list_->currentRow();
  if (row < 0 || LocalPath(file_list_->FullPath(row)) != controller_->load.file_name) return;
  std::vector<LoadJob> jobs;
  for (int next : {row + direction_, row - direction_}) {
    if (next < 0 || next >= file_list_->count()) continue;
    const std::optional<QString> failure = RunGuarded(
        [&] { jobs.push_back(controller_->PlanChoice(LocalPath(file_list_->FullPath(next)))); },
        QString());
    if (failure) return;
  }
  loader_->ReadAhead(std::move(jobs));
}

void BrowserDialog::UpdateBusyCursor() {
  const bool busy = loader_->Loading();
  if (busy == busy_cursor_) return;
  busy_cursor_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void BrowserDialog::OnRightPressed(const QString& path) {
  if (real_size_ == nullptr) return;
  bool ok = false;
  Run([&] { ok = real_size_->Controller().OpenHeader(*controller_, LocalPath(path)); }, true,
      QStringLiteral("la lecture de l'en-tête"));
  if (ok) Guarded(this, QStringLiteral("l'affichage de l'en-tête"), [&] { real_size_->ShowModal(); });
}

// Nothing to show while no picture is: the button is disabled then, and a click that still
// comes (from a test, a script) does nothing.
void BrowserDialog::ShowRealSize() {
  if (real_size_ == nullptr || !controller_->load.ImageLoaded) return;
  const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  const QSize size = s != nullptr ? s->geometry().size() : QSize(1024, 768);
  Guarded(this, QStringLiteral("l'ouverture de « Taille réelle »"), [&] {
    real_size_->Controller().OpenPicture(*controller_, size.width(), size.height());
    real_size_->ShowModal();
  });
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
  if (!controller_->load.ImageLoaded) return;  // no picture, no bitmap
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
  Run([&] { controller_->SaveBitmap(LocalPath(file)); }, true,
      QStringLiteral("la sauvegarde BMP"));
}

}  // namespace kivrel::ui
