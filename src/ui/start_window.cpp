#include "ui/start_window.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QSettings>
#include <clocale>

#include "browser/dialog/app_dir.h"
#include "browser/dialog/browser_controller.h"
#include "ui/browser_dialog.h"
#include "ui/ui_fonts.h"

namespace kivrel::ui {
namespace {

constexpr const char* kDirKey = "Dir";

QLabel* TitleLabel(QWidget* parent, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->setFont(TitleFont());
  label->move(left, top);
  label->adjustSize();
  return label;
}

}  // namespace

void UsePointAsDecimalSeparator() {
  QLocale::setDefault(QLocale::c());
  std::setlocale(LC_NUMERIC, "C");
}

StartWindow::StartWindow(HostSettings settings, QWidget* parent)
    : QWidget(parent), settings_(std::move(settings)) {
  setObjectName("StartWindow");
  remembered_folder_.clear();
  UsePointAsDecimalSeparator();
  {
    const QSettings store(settings_.organisation, settings_.application);
    if (store.contains(kDirKey)) remembered_folder_ = store.value(kDirKey).toString();
  }
  app_dir_ = QString::fromStdString(ResolveAppDir());

  setWindowTitle(QStringLiteral("Kivrel Images"));
  resize(355, 203);
  move(73, 54);
  TitleLabel(this, QStringLiteral("Kivrel"), 24, 16)->setObjectName("Title");
  TitleLabel(this, QStringLiteral("Images"), 32, 80)->setObjectName("Subtitle");
}

StartWindow::~StartWindow() = default;

void StartWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (dialog_ == nullptr || dialog_shown_) return;
  dialog_shown_ = true;
  BrowserController& c = dialog_->Controller();
  c.texts.help.visible = false;
  c.texts.ok.visible = false;
  c.texts.cancel.caption = "Quitter";
  dialog_->Mirror();

  // The first run opens on the bundled samples.
  QString folder = remembered_folder_;
  if (folder.isEmpty()) {
    const QString samples = QDir(app_dir_).filePath(QStringLiteral("samples"));
    if (QFileInfo(samples).isDir()) folder = samples;
  }
  if (!folder.isEmpty()) dialog_->SetTreeSelection(folder);

  dialog_->PlaceAt(QCursor::pos());
  connect(dialog_, &QDialog::finished, this, [this] { close(); });
  dialog_->setWindowModality(Qt::ApplicationModal);
  dialog_->show();
}

void StartWindow::closeEvent(QCloseEvent* event) {
  if (dialog_ != nullptr && settings_.store_folder) {
    QSettings store(settings_.organisation, settings_.application);
    store.setValue(kDirKey, dialog_->TreeSelection());
    store.sync();  // its outcome is not looked at
  }
  if (dialog_ != nullptr && dialog_->isVisible()) dialog_->hide();
  QWidget::closeEvent(event);
  emit Finished();
}

}  // namespace kivrel::ui
