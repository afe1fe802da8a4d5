#include "ui/real_size_window.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include "ui/picture_image.h"
#include "ui/ui_fonts.h"
#include "ui/widgets.h"

namespace kivrel::ui {

RealSizeWindow::RealSizeWindow(QWidget* parent)
    : QDialog(parent),
      scroll_(new QScrollArea(this)),
      picture_(new PictureView),
      header_text_(new QPlainTextEdit(this)) {
  setObjectName("RealSizeWindow");
  setFont(DialogFont());
  setSizeGripEnabled(false);
  scroll_->setObjectName("PictureScroll");
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(false);
  scroll_->setWidget(picture_);
  picture_->setObjectName("Picture");
  header_text_->setObjectName("HeaderText");
  header_text_->setReadOnly(true);
  header_text_->setFont(FixedFont());
  header_text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  header_text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  header_text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  header_text_->installEventFilter(this);
  resize(controller_.width, controller_.height);
  Mirror();
}

void RealSizeWindow::ShowModal() {
  const RealSizeController& l = controller_;
  if (l.mode == RealSizeMode::kHeader) {
    resize(l.client_width, l.client_height);
  } else {
    // The controller gives the outer size; the frame is the platform's.
    const QMargins frame = FrameMargins(this);
    resize(std::max(1, l.width - frame.left() - frame.right()),
           std::max(1, l.height - frame.top() - frame.bottom()));
  }
  picture_->SetImage(ToQImage(l.picture_box.picture));  // the copy made at this opening
  Mirror();
  const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  if (s != nullptr) {
    QRect frame = frameGeometry();
    frame.moveCenter(s->availableGeometry().center());
    move(frame.topLeft());
  }
  setWindowModality(Qt::ApplicationModal);
  show();
  raise();
  activateWindow();
}

void RealSizeWindow::Mirror() {
  const RealSizeController& l = controller_;
  if (windowTitle() != QString::fromStdString(l.caption))
    setWindowTitle(QString::fromStdString(l.caption));
  const TextBox& box = l.header_box;
  scroll_->setVisible(l.picture_box.visible);
  header_text_->setVisible(box.visible);
  header_text_->setGeometry(box.left, box.top, box.width, box.height);

  QString text;
  for (const std::string& line : box.lines) {
    if (!text.isEmpty()) text += '\n';
    text += QString::fromStdString(line);
  }
  if (text != header_shown_) {
    header_shown_ = text;
    header_text_->setPlainText(text);
  }

  const QSize size(std::max(1, l.picture_box.width), std::max(1, l.picture_box.height));
  if (picture_->size() != size) picture_->resize(size);
  scroll_->horizontalScrollBar()->setValue(l.scroll_x);
  scroll_->verticalScrollBar()->setValue(l.scroll_y);
}

void RealSizeWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  controller_.Shown();
}

void RealSizeWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  scroll_->setGeometry(rect());
}

void RealSizeWindow::keyPressEvent(QKeyEvent* event) {
  if (!HandleKey(event)) QDialog::keyPressEvent(event);
}

bool RealSizeWindow::eventFilter(QObject* watched, QEvent* event) {
  // The header text shares the window's keys.
  if (watched == header_text_ && event->type() == QEvent::KeyPress)
    return HandleKey(static_cast<QKeyEvent*>(event));
  return QDialog::eventFilter(watched, event);
}

bool RealSizeWindow::HandleKey(QKeyEvent* event) {
  char key = 0;
  if (event->key() == Qt::Key_Escape) {
    key = 27;
  } else if (event->text() == QStringLiteral("+")) {
    key = '+';
  } else if (event->text() == QStringLiteral("-")) {
    key = '-';
  } else {
    return false;
  }
  controller_.scroll_x = scroll_->horizontalScrollBar()->value();
  controller_.scroll_y = scroll_->verticalScrollBar()->value();
  const RealSizeController::KeyResult result = controller_.KeyPress(key);
  if (result == RealSizeController::KeyResult::kClose) {
    close();
  } else {
    Mirror();
  }
  return true;
}

void RealSizeWindow::done(int result) {
  controller_.Closed();
  QDialog::done(result);
  Mirror();
}

}  // namespace kivrel::ui
