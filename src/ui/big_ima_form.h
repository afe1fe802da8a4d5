// TBigImaForm, the real-size window: the toolkit-free BigImaLogic holds its state and rules;
// this window shows that state (the picture in a scroll area, or the header text) and forwards
// its keys. It is shown application-modal without blocking the caller.
#pragma once

#include <QDialog>

#include "browser/dialog/big_ima_logic.h"

class QPlainTextEdit;
class QScrollArea;

namespace kivrel::ui {

class PictureView;

class TBigImaForm : public QDialog {
  Q_OBJECT
 public:
  explicit TBigImaForm(QWidget* parent = nullptr);

  BigImaLogic& Logic() { return logic_; }
  const BigImaLogic& Logic() const { return logic_; }

  // Shows the window in the mode the logic was opened in, centred on the screen, modal.
  void ShowModal();

  // Writes the logic's state into the widgets.
  void Mirror();

  PictureView* Picture() const { return image1_; }
  QPlainTextEdit* Memo() const { return memo1_; }
  QScrollArea* ScrollArea() const { return scroll_; }

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool HandleKey(QKeyEvent* event);

  BigImaLogic logic_;
  QScrollArea* scroll_;
  PictureView* image1_;
  QPlainTextEdit* memo1_;
  QString memo_text_;
};

}  // namespace kivrel::ui
