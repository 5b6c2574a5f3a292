#pragma once
// The one place where exceptions end: every event handler runs through RunGuarded, and the
// application object catches whatever escapes an event delivered outside a connection.
// An exception ends the handler (its destructors run, nothing is undone) and is shown in the
// standard error box; Abort ends it silently. The event loop then goes on.
#include <QApplication>
#include <exception>
#include <utility>

#include "engine/errors.h"
#include "ui/message_box.h"

template <class Handler>
void RunGuarded(Handler&& handler) {
  try {
    std::forward<Handler>(handler)();
  } catch (const Abort&) {
  } catch (const std::exception& error) {
    ShowErrorBox(error);
  }
}

// Wraps a nullary handler for connect(): the signal's arguments are ignored.
//   connect(button, &QToolButton::clicked, this, Guarded([this] { SpeedButton1Click(); }));
template <class Handler>
auto Guarded(Handler handler) {
  return [handler = std::move(handler)](auto&&...) { RunGuarded(handler); };
}

// The application object: title, and the error box for exceptions leaving any event.
class TApplication : public QApplication {
  Q_OBJECT
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};
