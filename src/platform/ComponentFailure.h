#pragma once
// A component the program cannot run without (the media-player engine, the
// browser engine) failed to start. The user is told what failed and why, in
// a Dutch message box, and the program then ends with exit status 1. A
// stream that merely fails to open is not such a failure: the player shows
// that in its own status line.
#include "platform/Seam.h"

#include <QString>
#include <functional>

namespace ComponentFailure {

// Report the failure. Only the first report of a run counts; the message
// box and the end of the program come on the next turn of the event loop,
// so a report from inside a window's load (before the event loop runs) is
// handled like any other.
void report(const QString &component, const QString &reason);

// The Dutch text the message box shows for a report.
QString message(const QString &component, const QString &reason);

// What tests put in place of what happens after a report (the message box
// and the end of the program; an empty function). Every change forgets
// earlier reports.
using Handler = std::function<void(const QString &component, const QString &reason)>;
extern Seam<Handler> handlerSeam;

} // namespace ComponentFailure
