#pragma once

#include <QEvent>
#include <QObject>
#include <QSet>
#include <QWidget>

#include <functional>

namespace kelvane::bench {

// Calls back once every watched widget has been painted since the last reset: the paint
// event has reached the widget and the widget has handled it.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(std::function<void()> allPainted) : allPainted_(std::move(allPainted)) {}

    void watch(QWidget* widget) {
        widget->installEventFilter(this);
        waiting_.insert(widget);
        watched_.insert(widget);
    }
    // Waits for a paint of every watched widget again, or for none.
    void reset() { waiting_ = watched_; }
    void disarm() { waiting_.clear(); }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint && waiting_.remove(object) && waiting_.isEmpty()) {
            // The filter runs before the widget paints: report once it has.
            QMetaObject::invokeMethod(this, allPainted_, Qt::QueuedConnection);
        }
        return false;
    }

private:
    std::function<void()> allPainted_;
    QSet<QObject*> waiting_;
    QSet<QObject*> watched_;
};

} // namespace kelvane::bench
