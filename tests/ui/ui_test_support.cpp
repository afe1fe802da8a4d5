#include "ui_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include "ui/browser_dialog.h"
#include "ui/widgets.h"

namespace kivrel::test {

QString SourceDir() {
  return QStringLiteral(KIVREL_SOURCE_DIR);
}

QString SamplesDir() {
  return SourceDir() + QStringLiteral("/samples");
}

std::unique_ptr<ui::BrowserDialog> MakeDialog(const QString& folder) {
  BrowserOptions options;
  options.app_dir = SourceDir().toStdString();
  options.load_decoder = false;
  auto dialog = std::make_unique<ui::BrowserDialog>(options);
  dialog->show();
  if (!folder.isEmpty()) dialog->SetTreeSelection(folder);
  return dialog;
}

void SendMouse(QWidget* widget, int type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons held) {
  QMouseEvent event(static_cast<QEvent::Type>(type), QPointF(pos),
                    QPointF(widget->mapToGlobal(pos)), button, held, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

bool ClickRow(ui::FileListBox* list, const QString& name, Qt::MouseButton button) {
  const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
  if (found.isEmpty()) return false;
  const QPoint at = list->visualItemRect(found.first()).center();
  QTest::mouseClick(list->viewport(), button, Qt::NoModifier, at);
  return true;
}

bool WaitForLoad(ui::BrowserDialog* dialog, int timeout_ms) {
  if (!dialog->Loading()) return true;
  QSignalSpy finished(dialog, &ui::BrowserDialog::LoadFinished);
  return finished.wait(timeout_ms);
}

bool ChooseAndWait(ui::BrowserDialog* dialog, const QString& name) {
  return ClickRow(dialog->FileList(), name, Qt::LeftButton) && WaitForLoad(dialog);
}

QStringList ListedNames(const ui::FileListBox* list) {
  QStringList names;
  for (int i = 0; i < list->count(); ++i)
    names << list->item(i)->text();
  return names;
}

ModalWatcher::ModalWatcher(std::vector<Handler> handlers) : handlers_(std::move(handlers)) {
  connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
  timer_.start(10);
}

void ModalWatcher::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr || modal == last_ || !modal->isVisible()) return;
  if (auto* box = qobject_cast<QMessageBox*>(modal)) texts_ << box->text();
  if (AllHandled()) {
    // A window nobody expected: noted (its text) and closed, so that the test goes on.
    last_ = modal;
    unexpected_ = true;
    modal->close();
    return;
  }
  if (handlers_[next_](modal)) {
    last_ = modal;
    ++next_;
  }
}

ModalWatcher::Handler PressMessageBoxButton(const QString& button_text) {
  return [button_text](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box == nullptr) return false;
    for (QAbstractButton* b : box->buttons()) {
      if (b->text() == button_text) {
        b->click();
        return true;
      }
    }
    return false;
  };
}

ModalWatcher::Handler SaveAs(const QString& file) {
  return [file](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    if (dialog == nullptr) return false;
    // Typed, as a user would: selecting an existing file waits for the folder to be read.
    if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit")) {
      edit->setText(file);
    } else {
      dialog->selectFile(file);
    }
    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    return true;
  };
}

void WriteFits(const QString& path, const std::vector<std::string>& cards, const QByteArray& data) {
  QByteArray bytes;
  for (const std::string& c : cards)
    bytes += QByteArray::fromStdString(c).leftJustified(80, ' ', true);
  bytes += QByteArray("END").leftJustified(80, ' ');
  bytes = bytes.leftJustified((bytes.size() + 2879) / 2880 * 2880, ' ');
  QByteArray block = data;
  if (!block.isEmpty()) block = block.leftJustified((block.size() + 2879) / 2880 * 2880, '\0');
  QFile file(path);
  QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
  file.write(bytes + block);
}

void WriteRampFits(const QString& path, int width, int height,
                   const std::vector<std::string>& extra_cards) {
  std::vector<std::string> cards = {
      "SIMPLE  =                    T", "BITPIX  =                   16",
      "NAXIS   =                    2", "NAXIS1  = " + std::to_string(width),
      "NAXIS2  = " + std::to_string(height)};
  cards.insert(cards.end(), extra_cards.begin(), extra_cards.end());
  QByteArray data;
  for (int i = 0; i < width * height; ++i) {
    data += static_cast<char>((i >> 8) & 0xFF);
    data += static_cast<char>(i & 0xFF);
  }
  WriteFits(path, cards, data);
}

bool SamePixels(const QImage& a, const QImage& b) {
  if (a.size() != b.size() || a.format() != b.format()) return false;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      if (a.pixel(x, y) != b.pixel(x, y)) return false;
    }
  }
  return true;
}

}  // namespace kivrel::test
