// The one boundary between Qt's events and the engine. Whatever an event's work throws ends
// here, never in Qt's event loop: a RunTimeError's text is shown as it is (its message is the
// user's text), std::bad_alloc as "Mémoire insuffisante" naming what could not be done, and
// any other exception as an unexpected error naming what failed. The window stays usable.
//
// GuardedApplication is the net under everything else: an exception that escapes an event
// handler (a paint event, a key, a slot) is caught in notify() and shown the same way.
#pragma once

#include <QApplication>
#include <QString>
#include <exception>
#include <functional>
#include <optional>

class QWidget;

namespace kivrel::ui {

// The message for the exception `error` thrown while doing `what` ("l'affichage de l'image"):
// the box's icon is always critical. Never throws.
QString GuardMessage(const std::exception_ptr& error, const QString& what);

// Runs `work`; when it throws, returns the message to show (GuardMessage), else nothing.
std::optional<QString> RunGuarded(const std::function<void()>& work, const QString& what);

// Shows `text` in a critical message box over `parent`, titled "Kivrel". Never throws; a box
// asked for while another one of these is open goes to the log instead (a paint event that
// fails again under the box must not stack boxes without end).
void ShowGuardMessage(QWidget* parent, const QString& text);

// RunGuarded, then ShowGuardMessage when it failed; true when `work` ended normally.
bool Guarded(QWidget* parent, const QString& what, const std::function<void()>& work);

class GuardedApplication : public QApplication {
 public:
  GuardedApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace kivrel::ui
