// Helpers for the window tests: a dialog over the source tree's palettes, mouse events sent to
// real widgets, a watcher that answers modal windows (message boxes, the save dialog) as a
// user would, small FITS files written from card texts, and picture comparisons.
#pragma once

#include <QDir>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kivrel::ui {
class FileListBox;
class BrowserDialog;
}  // namespace kivrel::ui

namespace kivrel::test {

QString SourceDir();
QString SamplesDir();

// A dialog like the program's, with the shipped palettes and without the raster decoder, shown
// (not modal) so that the test can drive it.
std::unique_ptr<ui::BrowserDialog> MakeDialog(const QString& folder = SamplesDir());

// A child widget by its control name; fails the test (returns null) when missing.
template <typename W>
W* Control(QWidget* parent, const char* name) {
  return parent->findChild<W*>(QString::fromLatin1(name));
}

// Mouse events delivered straight to `widget` (position in its own pixels).
void SendMouse(QWidget* widget, int type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons held);
// A press (and release) on the row of `name` in the file list; false when it is not listed.
bool ClickRow(ui::FileListBox* list, const QString& name, Qt::MouseButton button);
// Waits for the dialog's load under way, if any, to be shown (its LoadFinished signal); false
// when it has not ended within `timeout_ms`.
bool WaitForLoad(ui::BrowserDialog* dialog, int timeout_ms = 20000);
// A left click on the row of `name`, then WaitForLoad: the file is shown (or failed).
bool ChooseAndWait(ui::BrowserDialog* dialog, const QString& name);
QStringList ListedNames(const ui::FileListBox* list);

// Answers modal windows as they open: each handler gets the active modal widget and returns
// true when it dealt with it (the next handler then waits for the next window). Windows that
// open after the last handler are closed and reported by SawUnexpected.
class ModalWatcher : public QObject {
 public:
  using Handler = std::function<bool(QWidget*)>;
  explicit ModalWatcher(std::vector<Handler> handlers);
  bool AllHandled() const { return next_ >= handlers_.size(); }
  bool SawUnexpected() const { return unexpected_; }
  QStringList Texts() const { return texts_; }  // the message boxes' texts seen

 private:
  void Poll();
  std::vector<Handler> handlers_;
  std::size_t next_ = 0;
  QWidget* last_ = nullptr;
  bool unexpected_ = false;
  QStringList texts_;
  QTimer timer_;
};

// Handlers for ModalWatcher.
ModalWatcher::Handler PressMessageBoxButton(const QString& button_text);
ModalWatcher::Handler SaveAs(const QString& file);

// A FITS file from card texts ("KEY = value" cards are padded to 80 columns, END added) and
// raw big-endian data, padded to whole 2880-byte blocks.
void WriteFits(const QString& path, const std::vector<std::string>& cards, const QByteArray& data);
// A BITPIX 16 image whose samples run 0, 1, 2, ... row by row.
void WriteRampFits(const QString& path, int width, int height,
                   const std::vector<std::string>& extra_cards = {});

// The palette indexes of an indexed picture, or its colours otherwise, for exact comparisons.
bool SamePixels(const QImage& a, const QImage& b);

}  // namespace kivrel::test
