#pragma once

#include <QObject>

class QSocketNotifier;

namespace xcpy {

class frmXCopy;

// Routes the closes that come from outside the window to its close request on the event loop:
// the termination signals SIGTERM, SIGHUP and SIGINT, and the session manager's end-of-session
// request. One at a time: a process has one handler per signal; the previous handlers come back
// when it is destroyed.
class OutsideCloseRequests : public QObject {
public:
    explicit OutsideCloseRequests(frmXCopy& window);
    ~OutsideCloseRequests() override;

    OutsideCloseRequests(const OutsideCloseRequests&) = delete;
    OutsideCloseRequests& operator=(const OutsideCloseRequests&) = delete;

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace xcpy
