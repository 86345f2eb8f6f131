#include "lan/AvahiQtPoll.h"

#include <QSocketNotifier>
#include <QTimer>

#include <avahi-common/timeval.h>

#include <algorithm>

// Avahi may free a watch or a timeout from inside its own callback, so neither is deleted
// while its callback runs: the free is noted and carried out when the callback returns. The
// Qt objects behind them go by deleteLater(), as they may be the sender of the running signal.

struct AvahiWatch {
    int fd;
    AvahiWatchCallback callback;
    void* userdata;
    QSocketNotifier* read = nullptr;
    QSocketNotifier* write = nullptr;
    AvahiWatchEvent firing = AvahiWatchEvent(0);
    bool inCallback = false;
    bool freed = false;
};

struct AvahiTimeout {
    QTimer* timer;
    AvahiTimeoutCallback callback;
    void* userdata;
    bool inCallback = false;
    bool freed = false;
};

namespace kelvane {

namespace {

QObject* Owner(const AvahiPoll* api) {
    return static_cast<QObject*>(api->userdata);
}

void Fire(AvahiWatch* w, AvahiWatchEvent event) {
    w->firing = event;
    w->inCallback = true;
    w->callback(w, w->fd, event, w->userdata);
    w->inCallback = false;
    w->firing = AvahiWatchEvent(0);
    if (w->freed)
        delete w;
}

void WatchUpdate(AvahiWatch* w, AvahiWatchEvent events) {
    w->read->setEnabled(events & AVAHI_WATCH_IN);
    w->write->setEnabled(events & AVAHI_WATCH_OUT);
}

// Hang-ups and errors show up as readability, which is how Qt's dispatcher reports them.
AvahiWatch* WatchNew(const AvahiPoll* api, int fd, AvahiWatchEvent events,
                     AvahiWatchCallback callback, void* userdata) {
    auto* w = new AvahiWatch{fd, callback, userdata};
    w->read = new QSocketNotifier(fd, QSocketNotifier::Read, Owner(api));
    w->write = new QSocketNotifier(fd, QSocketNotifier::Write, Owner(api));
    QObject::connect(w->read, &QSocketNotifier::activated, w->read,
                     [w] { Fire(w, AVAHI_WATCH_IN); });
    QObject::connect(w->write, &QSocketNotifier::activated, w->write,
                     [w] { Fire(w, AVAHI_WATCH_OUT); });
    WatchUpdate(w, events);
    return w;
}

AvahiWatchEvent WatchGetEvents(AvahiWatch* w) {
    return w->firing;
}

void WatchFree(AvahiWatch* w) {
    for (QSocketNotifier* n : {w->read, w->write}) {
        n->setEnabled(false);
        n->disconnect();
        n->deleteLater();
    }
    if (w->inCallback)
        w->freed = true;
    else
        delete w;
}

void TimeoutUpdate(AvahiTimeout* t, const struct timeval* tv) {
    if (!tv) {
        t->timer->stop();
        return;
    }
    const AvahiUsec left = -avahi_age(tv);
    t->timer->start(static_cast<int>(std::clamp<AvahiUsec>((left + 999) / 1000, 0, 1 << 30)));
}

AvahiTimeout* TimeoutNew(const AvahiPoll* api, const struct timeval* tv,
                         AvahiTimeoutCallback callback, void* userdata) {
    auto* t = new AvahiTimeout{new QTimer(Owner(api)), callback, userdata};
    t->timer->setSingleShot(true);
    QObject::connect(t->timer, &QTimer::timeout, t->timer, [t] {
        t->inCallback = true;
        t->callback(t, t->userdata);
        t->inCallback = false;
        if (t->freed)
            delete t;
    });
    TimeoutUpdate(t, tv);
    return t;
}

void TimeoutFree(AvahiTimeout* t) {
    t->timer->stop();
    t->timer->disconnect();
    t->timer->deleteLater();
    if (t->inCallback)
        t->freed = true;
    else
        delete t;
}

} // namespace

AvahiQtPoll::AvahiQtPoll(QObject* parent)
    : QObject(parent), poll_{this,      WatchNew,   WatchUpdate,   WatchGetEvents,
                             WatchFree, TimeoutNew, TimeoutUpdate, TimeoutFree} {}

} // namespace kelvane
