#include "ui/big_ima_form.h"

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

TBigImaForm::TBigImaForm(QWidget* parent)
    : QDialog(parent),
      scroll_(new QScrollArea(this)),
      image1_(new PictureView),
      memo1_(new QPlainTextEdit(this)) {
  setObjectName("BigImaForm");
  setFont(DialogFont());
  setSizeGripEnabled(false);
  scroll_->setObjectName("ScrollBox");
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(false);
  scroll_->setWidget(image1_);
  image1_->setObjectName("Image1");
  memo1_->setObjectName("Memo1");
  memo1_->setReadOnly(true);
  memo1_->setFont(FixedFont());
  memo1_->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo1_->installEventFilter(this);
  resize(logic_.Width, logic_.Height);
  Mirror();
}

void TBigImaForm::ShowModal() {
  const BigImaLogic& l = logic_;
  if (l.Mode == BigImaMode::Header) {
    resize(l.ClientWidth, l.ClientHeight);
  } else {
    // The logic gives the outer size; the frame is the platform's.
    const QMargins frame = FrameMargins(this);
    resize(std::max(1, l.Width - frame.left() - frame.right()),
           std::max(1, l.Height - frame.top() - frame.bottom()));
  }
  image1_->SetImage(ToQImage(l.Image1Picture));  // the copy made at this opening
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

void TBigImaForm::Mirror() {
  const BigImaLogic& l = logic_;
  if (windowTitle() != QString::fromStdString(l.Caption))
    setWindowTitle(QString::fromStdString(l.Caption));
  scroll_->setVisible(l.Image1Visible);
  memo1_->setVisible(l.Memo1Visible);
  memo1_->setGeometry(l.Memo1Left, l.Memo1Top, l.Memo1Width, l.Memo1Height);

  QString text;
  for (const std::string& line : l.Memo1Lines) {
    if (!text.isEmpty()) text += '\n';
    text += QString::fromStdString(line);
  }
  if (text != memo_text_) {
    memo_text_ = text;
    memo1_->setPlainText(text);
  }

  const QSize size(std::max(1, l.Image1Width), std::max(1, l.Image1Height));
  if (image1_->size() != size) image1_->resize(size);
  scroll_->horizontalScrollBar()->setValue(l.HorzScrollPosition);
  scroll_->verticalScrollBar()->setValue(l.VertScrollPosition);
}

void TBigImaForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  logic_.FormShow();
}

void TBigImaForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  scroll_->setGeometry(rect());
}

void TBigImaForm::keyPressEvent(QKeyEvent* event) {
  if (!HandleKey(event)) QDialog::keyPressEvent(event);
}

bool TBigImaForm::eventFilter(QObject* watched, QEvent* event) {
  // The header text shares the window's keys.
  if (watched == memo1_ && event->type() == QEvent::KeyPress)
    return HandleKey(static_cast<QKeyEvent*>(event));
  return QDialog::eventFilter(watched, event);
}

bool TBigImaForm::HandleKey(QKeyEvent* event) {
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
  logic_.HorzScrollPosition = scroll_->horizontalScrollBar()->value();
  logic_.VertScrollPosition = scroll_->verticalScrollBar()->value();
  const BigImaLogic::KeyResult result = logic_.FormKeyPress(key);
  if (result == BigImaLogic::KeyResult::Close) {
    close();
  } else {
    Mirror();
  }
  return true;
}

void TBigImaForm::done(int result) {
  logic_.FormClose();
  QDialog::done(result);
  Mirror();
}

}  // namespace kivrel::ui
