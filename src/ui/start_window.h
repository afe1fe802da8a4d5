// The start window that turns the browser dialog into a program: it sets the number
// format, remembers the last folder between runs (QSettings, organisation "Orvanta",
// application "Kivrel", key "Dir"), shows the dialog modally next to the mouse and ends the
// program when the dialog closes.
#pragma once

#include <QString>
#include <QWidget>

namespace kivrel::ui {

class BrowserDialog;

struct HostSettings {
  QString organisation = QStringLiteral("Orvanta");
  QString application = QStringLiteral("Kivrel");
  bool store_folder = true;  // write the folder back when the program ends
};

class StartWindow : public QWidget {
  Q_OBJECT
 public:
  // The window's creation: "." as the decimal separator for the whole process, the remembered
  // folder read (a missing value leaves it empty, silently), AppDir stored.
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
  HostSettings settings_;
  BrowserDialog* dialog_ = nullptr;
  QString remembered_folder_;
  QString app_dir_;
  bool dialog_shown_ = false;
};

// The decimal separator is "." in every conversion, whatever the user's locale.
void UsePointAsDecimalSeparator();

}  // namespace kivrel::ui
