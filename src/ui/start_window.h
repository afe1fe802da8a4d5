// The start window that turns the browser dialog into a program: it sets the number
// format, remembers the last folder and how pictures were shown between runs (QSettings,
// organisation "Orvanta", application "Kivrel": keys "Dir", "ColourMode", "LevelMode",
// "ColourTable", "TransferTable"; the filter is not kept, so that no filter is silently applied
// to the next run's first file), shows the dialog modally next to the mouse and ends the
// program when the dialog closes.
#pragma once

#include <QString>
#include <QVariant>
#include <QWidget>

namespace kivrel::ui {

class BrowserDialog;

struct HostSettings {
  QString organisation = QStringLiteral("Orvanta");
  QString application = QStringLiteral("Kivrel");
  bool store_folder = true;  // write the folder and the display settings back at the end
};

class StartWindow : public QWidget {
  Q_OBJECT
 public:
  // The window's creation: "." as the decimal separator for the whole process, the remembered
  // folder and display settings read (a missing or unusable value is ignored, silently),
  // AppDir stored.
  explicit StartWindow(HostSettings settings = {}, QWidget* parent = nullptr);
  ~StartWindow() override;

  void SetDialog(BrowserDialog* dialog) { dialog_ = dialog; }
  QString RememberedFolder() const { return remembered_folder_; }
  QString AppDir() const { return app_dir_; }

 signals:
  // The dialog has closed and the folder is stored: the program's work is done.
  void Finished();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // The remembered display settings into the dialog, before its first load; and back.
  void ApplyDisplaySettings();
  void StoreSettings();

  HostSettings settings_;
  QVariant colour_mode_, level_mode_, colour_table_, transfer_table_;
  BrowserDialog* dialog_ = nullptr;
  QString remembered_folder_;
  QString app_dir_;
  bool dialog_shown_ = false;
};

// The decimal separator is "." in every conversion, whatever the user's locale.
void UsePointAsDecimalSeparator();

}  // namespace kivrel::ui
