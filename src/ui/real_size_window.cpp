#include "ui/real_size_window.h"

#include <algorithm>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QWheelEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include "ui/event_guard.h"
#include "ui/picture_image.h"
#include "ui/ui_fonts.h"
#include "ui/widgets.h"

namespace kivrel::ui {

RealSizeWindow::RealSizeWindow(QWidget* parent)
    : QDialog(parent),
      scroll_(new QScrollArea(this)),
      picture_(new PictureView),
      status_(new QLabel(this)),
      header_text_(new QPlainTextEdit(this)) {
  setObjectName("RealSizeWindow");
  setFont(DialogFont());
  setSizeGripEnabled(false);
  scroll_->setObjectName("PictureScroll");
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(false);
  scroll_->setWidget(picture_);
  picture_->setObjectName("Picture");
  picture_->setMouseTracking(true);
  picture_->installEventFilter(this);
  scroll_->viewport()->installEventFilter(this);  // the wheel zooms rather than scrolls
  status_->setObjectName("StatusBar");
  status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  status_->setTextFormat(Qt::PlainText);
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
    // The controller gives the outer size; the frame is the platform's. The status bar comes
    // on top, within the screen.
    const QMargins frame = FrameMargins(this);
    const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    const int screen_height = s != nullptr ? s->geometry().height() : l.height;
    const int outer_height = std::min(l.height + StatusBarHeight(), std::max(l.height, screen_height));
    resize(std::max(1, l.width - frame.left() - frame.right()),
           std::max(1, outer_height - frame.top() - frame.bottom()));
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
  status_->setVisible(l.picture_box.visible);
  const QString status = QString::fromStdString(l.status_text);
  if (status_->text() != status) status_->setText(status);
  PlaceParts();
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
  PlaceParts();
}

int RealSizeWindow::StatusBarHeight() const {
  return status_->fontMetrics().height() + 6;
}

// The picture above the status bar, over the whole window.
void RealSizeWindow::PlaceParts() {
  const int bar = status_->isVisibleTo(this) ? StatusBarHeight() : 0;
  const QRect picture(0, 0, width(), std::max(0, height() - bar));
  if (scroll_->geometry() != picture) scroll_->setGeometry(picture);
  const QRect line(0, picture.bottom() + 1, width(), bar);
  if (bar > 0 && status_->geometry() != line) status_->setGeometry(line);
}

void RealSizeWindow::keyPressEvent(QKeyEvent* event) {
  if (!HandleKey(event)) QDialog::keyPressEvent(event);
}

bool RealSizeWindow::eventFilter(QObject* watched, QEvent* event) {
  // The header text shares the window's keys.
  if (watched == header_text_ && event->type() == QEvent::KeyPress)
    return HandleKey(static_cast<QKeyEvent*>(event));
  if (watched == picture_ && event->type() == QEvent::MouseMove) {
    PointerAt(static_cast<QMouseEvent*>(event)->position().toPoint());
  } else if (watched == picture_ && event->type() == QEvent::Leave) {
    PointerAt(QPoint(-1, -1));
  } else if (watched == scroll_->viewport() && event->type() == QEvent::Wheel) {
    const auto* wheel = static_cast<QWheelEvent*>(event);
    wheel_delta_ += wheel->angleDelta().y();
    const int steps = wheel_delta_ / QWheelEvent::DefaultDeltasPerStep;
    wheel_delta_ -= steps * QWheelEvent::DefaultDeltasPerStep;
    if (steps != 0) Zoom([this, steps] { return controller_.Wheel(steps); });
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void RealSizeWindow::PointerAt(const QPoint& pos) {
  if (controller_.mode != RealSizeMode::kPicture) return;
  Guarded(this, QStringLiteral("la lecture du point sous la souris"), [&] {
    controller_.PointerAt(pos.x(), pos.y());
    Mirror();
  });
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
  Zoom([this, key] { return controller_.KeyPress(key); });
  return true;
}

void RealSizeWindow::Zoom(const std::function<RealSizeController::KeyResult()>& step) {
  RealSizeController::KeyResult result = RealSizeController::KeyResult::kNone;
  Guarded(this, QStringLiteral("le zoom de « Taille réelle »"), [&] {
    controller_.scroll_x = scroll_->horizontalScrollBar()->value();
    controller_.scroll_y = scroll_->verticalScrollBar()->value();
    result = step();
    if (result != RealSizeController::KeyResult::kClose) Mirror();
  });
  if (result == RealSizeController::KeyResult::kClose) close();
}

void RealSizeWindow::done(int result) {
  controller_.Closed();
  QDialog::done(result);
  Mirror();
}

}  // namespace kivrel::ui
