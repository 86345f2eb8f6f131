#include "app/DisplayCheck.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace kelvane;

// Runs the check with exactly the given display variables set.
static std::optional<std::string> reasonWith(const QByteArray& display, const QByteArray& wayland,
                                             const QByteArray& platform) {
    const QByteArray saved[] = {qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"),
                                qgetenv("QT_QPA_PLATFORM")};
    qputenv("DISPLAY", display);
    qputenv("WAYLAND_DISPLAY", wayland);
    qputenv("QT_QPA_PLATFORM", platform);
    auto reason = MissingDisplayReason();
    qputenv("DISPLAY", saved[0]);
    qputenv("WAYLAND_DISPLAY", saved[1]);
    qputenv("QT_QPA_PLATFORM", saved[2]);
    return reason;
}

class DisplayCheck : public QObject {
    Q_OBJECT

private slots:
    void noDisplayAtAllIsExplainedOnOneLine() {
        const auto reason = reasonWith("", "", "");
        QVERIFY(reason.has_value());
        QVERIFY(reason->find('\n') == std::string::npos);
        QVERIFY(reason->find("DISPLAY") != std::string::npos);
    }

    void aLocalDisplayWithoutItsServerIsExplained() {
        QVERIFY(reasonWith(":987", "", "").has_value());
        QVERIFY(reasonWith("unix:987.0", "", "").has_value());
    }

    void otherDisplaysAreLeftToQt() {
        QVERIFY(!reasonWith("remote.example:0", "", "").has_value());
        QVERIFY(!reasonWith("", "wayland-0", "").has_value());
        QVERIFY(!reasonWith("", "", "offscreen").has_value());
    }
};

QTEST_GUILESS_MAIN(DisplayCheck)
#include "test_display_check.moc"
