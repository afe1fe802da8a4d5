// The real-size window: the toolkit-free RealSizeController holds its state and rules; this
// window shows that state (the picture in a scroll area with a status bar reading out the
// sample under the pointer, or the header text) and forwards its keys and wheel (zoom). It is
// shown application-modal without blocking the caller. Its events go through the guard.
#pragma once

#include <QDialog>
#include <functional>

#include "browser/dialog/real_size_controller.h"

class QLabel;
class QPlainTextEdit;
class QScrollArea;

namespace kivrel::ui {

class PictureView;

class RealSizeWindow : public QDialog {
  Q_OBJECT
 public:
  explicit RealSizeWindow(QWidget* parent = nullptr);

  RealSizeController& Controller() { return controller_; }
  const RealSizeController& Controller() const { return controller_; }

  // Shows the window in the mode the controller was opened in, centred on the screen, modal.
  void ShowModal();

  // Writes the controller's state into the widgets.
  void Mirror();

  PictureView* Picture() const { return picture_; }
  QPlainTextEdit* HeaderText() const { return header_text_; }
  QScrollArea* ScrollArea() const { return scroll_; }
  QLabel* StatusBar() const { return status_; }

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool HandleKey(QKeyEvent* event);
  // A zoom step (key or wheel) from the scroll position shown now.
  void Zoom(const std::function<RealSizeController::KeyResult()>& step);
  void PointerAt(const QPoint& pos);
  void PlaceParts();
  int StatusBarHeight() const;

  RealSizeController controller_;
  QScrollArea* scroll_;
  PictureView* picture_;
  QLabel* status_;
  int wheel_delta_ = 0;  // wheel turns not yet a whole step (fine-grained wheels)
  QPlainTextEdit* header_text_;
  QString header_shown_;
};

}  // namespace kivrel::ui
