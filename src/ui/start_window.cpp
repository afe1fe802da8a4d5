#include "ui/start_window.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QSettings>
#include <clocale>
#include <string>
#include <utility>

#include "browser/dialog/app_dir.h"
#include "browser/dialog/browser_controller.h"
#include "ui/browser_dialog.h"
#include "ui/ui_fonts.h"

namespace kivrel::ui {
namespace {

constexpr const char* kDirKey = "Dir";
constexpr const char* kColourModeKey = "ColourMode";
constexpr const char* kLevelModeKey = "LevelMode";
constexpr const char* kColourTableKey = "ColourTable";
constexpr const char* kTransferTableKey = "TransferTable";

// The index of a remembered item: an integer within [0, count), else -1.
int RememberedIndex(const QVariant& value, std::size_t count) {
  bool ok = false;
  const int index = value.toInt(&ok);
  return ok && index >= 0 && static_cast<std::size_t>(index) < count ? index : -1;
}

// The index of a remembered table name in a table list, else -1.
int RememberedTable(const QVariant& value, const ListControl& list) {
  if (!value.isValid()) return -1;
  const std::string name = value.toString().toStdString();
  for (std::size_t i = 0; i < list.items.size(); ++i) {
    if (list.items[i] == name) return static_cast<int>(i);
  }
  return -1;
}

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
    colour_mode_ = store.value(kColourModeKey);
    level_mode_ = store.value(kLevelModeKey);
    colour_table_ = store.value(kColourTableKey);
    transfer_table_ = store.value(kTransferTableKey);
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
  ApplyDisplaySettings();
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

void StartWindow::ApplyDisplaySettings() {
  BrowserController& c = dialog_->Controller();
  if (const int i = RememberedIndex(colour_mode_, c.colours.colour_mode.items.size()); i >= 0)
    c.colours.colour_mode.index = i;
  if (const int i = RememberedIndex(level_mode_, c.thresholds.level_mode.items.size()); i >= 0)
    c.thresholds.level_mode.index = i;
  // As the user would pick them: the table is read now (a bad one says so, as a pick would).
  const int lut = RememberedTable(colour_table_, c.colours.colour_table);
  if (lut >= 0 && lut != c.colours.colour_table.index)
    dialog_->Run([&] { c.ChooseColourTable(lut); }, true, QStringLiteral("la table de couleurs"));
  const int itt = RememberedTable(transfer_table_, c.colours.transfer_table);
  if (itt >= 0 && itt != c.colours.transfer_table.index) {
    dialog_->Run([&] { c.ChooseTransferTable(itt); }, true,
                 QStringLiteral("la table d'intensité"));
  }
}

void StartWindow::StoreSettings() {
  const BrowserController& c = dialog_->Controller();
  QSettings store(settings_.organisation, settings_.application);
  store.setValue(kDirKey, dialog_->TreeSelection());
  store.setValue(kColourModeKey, c.colours.colour_mode.index);
  store.setValue(kLevelModeKey, c.thresholds.level_mode.index);
  for (auto [key, list] : {std::pair{kColourTableKey, &c.colours.colour_table},
                           std::pair{kTransferTableKey, &c.colours.transfer_table}}) {
    if (list->index >= 0 && static_cast<std::size_t>(list->index) < list->items.size())
      store.setValue(key, QString::fromStdString(list->items[static_cast<std::size_t>(list->index)]));
  }
  store.sync();  // its outcome is not looked at
}

void StartWindow::closeEvent(QCloseEvent* event) {
  if (dialog_ != nullptr && settings_.store_folder) StoreSettings();
  if (dialog_ != nullptr && dialog_->isVisible()) dialog_->hide();
  QWidget::closeEvent(event);
  emit Finished();
}

}  // namespace kivrel::ui
