#include "ui/event_guard.h"

#include <QEvent>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <QtGlobal>
#include <new>

#include "skylib/run_time_error.h"

namespace kivrel::ui {
namespace {

// Only one guard box at a time: message boxes are modal for the whole program, and so is this
// flag.
bool box_open = false;

// What an event that reached `receiver` was doing, for the message.
QString EventWhat(const QObject* receiver, const QEvent* event) {
  QString doing;
  switch (event->type()) {
    case QEvent::Paint:
      doing = QStringLiteral("le dessin");
      break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      doing = QStringLiteral("une touche");
      break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      doing = QStringLiteral("la souris");
      break;
    case QEvent::Wheel:
      doing = QStringLiteral("la molette");
      break;
    case QEvent::Timer:
      doing = QStringLiteral("le minuteur");
      break;
    default:
      doing = QStringLiteral("l'événement %1").arg(static_cast<int>(event->type()));
      break;
  }
  const QString name = receiver != nullptr ? receiver->objectName() : QString();
  return name.isEmpty() ? doing : doing + QStringLiteral(" (%1)").arg(name);
}

}  // namespace

QString GuardMessage(const std::exception_ptr& error, const QString& what) {
  try {
    std::rethrow_exception(error);
  } catch (const RunTimeError& e) {
    return QString::fromStdString(e.what());
  } catch (const std::bad_alloc&) {
    return QStringLiteral("Mémoire insuffisante : %1 n'a pas pu se faire.").arg(what);
  } catch (const std::exception& e) {
    return QStringLiteral("Erreur inattendue pendant %1 : %2").arg(what, QString::fromUtf8(e.what()));
  } catch (...) {
    return QStringLiteral("Erreur inattendue pendant %1.").arg(what);
  }
}

std::optional<QString> RunGuarded(const std::function<void()>& work, const QString& what) {
  try {
    work();
    return std::nullopt;
  } catch (...) {
    return GuardMessage(std::current_exception(), what);
  }
}

void ShowGuardMessage(QWidget* parent, const QString& text) {
  if (box_open) {
    qWarning("kivrel: %s", qPrintable(text));
    return;
  }
  box_open = true;
  try {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Kivrel"), text, QMessageBox::Ok,
                    parent);
    box.setObjectName(QStringLiteral("GuardMessage"));
    box.exec();
  } catch (...) {
    qWarning("kivrel: %s", qPrintable(text));
  }
  box_open = false;
}

bool Guarded(QWidget* parent, const QString& what, const std::function<void()>& work) {
  const std::optional<QString> failure = RunGuarded(work, what);
  if (failure) ShowGuardMessage(parent, *failure);
  return !failure;
}

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  // The event may delete its receiver: it is named only when it is still there.
  const QPointer<QObject> alive(receiver);
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    const std::exception_ptr error = std::current_exception();
    auto* widget = qobject_cast<QWidget*>(alive.data());
    ShowGuardMessage(widget != nullptr ? widget->window() : nullptr,
                     GuardMessage(error, EventWhat(alive.data(), event)));
    return false;
  }
}

}  // namespace kivrel::ui
