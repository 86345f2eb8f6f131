#pragma once

#include <QObject>

#include <avahi-common/watch.h>

namespace kelvane {

// Avahi's poll interface on Qt's event loop: file descriptor watches become socket notifiers
// and timeouts become single-shot timers, so the Avahi client runs on the thread of this object
// and never needs a thread of its own.
class AvahiQtPoll : public QObject {
public:
    explicit AvahiQtPoll(QObject* parent = nullptr);
    const AvahiPoll* poll() const { return &poll_; }

private:
    AvahiPoll poll_;
};

} // namespace kelvane
