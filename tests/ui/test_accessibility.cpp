// What a screen reader finds in the three windows, and what it is told when a label changes.
// The announcement checks need Qt's AT-SPI bridge: the a11y session runs this executable with
// KELVANE_REQUIRE_ACCESSIBILITY set, so there they run rather than skip.

#include "ui/AboutBox.h"
#include "ui/CaptionLabel.h"
#include "ui/LogonDialog.h"
#include "ui/MainWindow.h"

#include <QAccessible>
#include <QtTest>

using namespace kelvane;

namespace {

QString TextOf(QObject* object, QAccessible::Text kind = QAccessible::Name) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(kind) : QString();
}

// Every node of the accessibility tree below `root` that a screen reader would visit.
void CollectShown(QAccessibleInterface* root, QList<QAccessibleInterface*>& found) {
    for (int i = 0; i < root->childCount(); ++i) {
        QAccessibleInterface* child = root->child(i);
        if (child && !child->state().invisible) {
            found.append(child);
            CollectShown(child, found);
        }
    }
}

// The names a screen reader heard for each object, as each was at that moment, since the
// reader asks for the name when the event reaches it.
QHash<QObject*, QStringList> heard;

void Hear(QAccessibleEvent* event) {
    if (event->type() == QAccessible::NameChanged)
        heard[event->object()].append(TextOf(event->object()));
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The bridge comes up once the application has found the AT-SPI bus.
        if (qEnvironmentVariableIsSet("KELVANE_REQUIRE_ACCESSIBILITY"))
            QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 10000);
    }

    // Walks the tree a screen reader sees, menus included, rather than a list that could
    // forget a control.
    void nothingAScreenReaderVisitsIsNameless() {
        MainWindow main;
        LogonDialog logon;
        AboutBox about;
        for (const auto& [window, atLeast] :
             QList<QPair<QWidget*, int>>{{&main, 17}, {&logon, 9}, {&about, 8}}) {
            window->setWindowTitle("Kelvane");
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            QList<QAccessibleInterface*> shown;
            CollectShown(QAccessible::queryAccessibleInterface(window), shown);
            QVERIFY(shown.size() >= atLeast);
            for (QAccessibleInterface* iface : shown) {
                // The client area, the menu bar and separators only hold or divide others.
                const QAccessible::Role role = iface->role();
                if (role != QAccessible::Client && role != QAccessible::MenuBar &&
                    role != QAccessible::Separator)
                    QVERIFY2(!iface->text(QAccessible::Name).isEmpty(),
                             iface->object() ? iface->object()->metaObject()->className() : "?");
            }
        }
    }

    // Each new caption is news, even the same line twice; an emptied label is read by its
    // title; a huge one only as far as its tooltip goes, while a cut one is read whole.
    void everyPanelLabelIsReadOutWhenItChanges() {
        MainWindow w;
        const QString line = QString("这是一句很长的话，").repeated(12);
        w.labHeSay->setCaption(line);
        QVERIFY(w.labHeSay->text() != line);
        const QList<QPair<CaptionLabel*, QString>> titled{
            {w.labBlack, "黑方玩家"}, {w.labBlackScore, "黑方战绩"},
            {w.labWhite, "白方玩家"}, {w.labWhiteScore, "白方战绩"},
            {w.labHe, "对方名字"},    {w.labHeSay, "对方的话"},
            {w.labI, "我的名字"},     {w.labISay, "我的话"},
            {w.lblStatus, "连线状态"}};
        // What a label is for stays with it, whatever it reads.
        for (const auto& [label, title] : titled) {
            QCOMPARE(TextOf(label), label == w.labHeSay ? line : title);
            QCOMPARE(TextOf(label, QAccessible::Description), title);
        }
        if (!QAccessible::isActive())
            QSKIP("no screen-reader bridge on this platform: run in the AT-SPI session");

        QAccessible::installUpdateHandler(Hear);
        const auto stopListening = qScopeGuard([] { QAccessible::installUpdateHandler(nullptr); });
        for (const auto& [label, title] : titled) {
            label->setCaption("连线中");
            label->setCaption("连线中");
            label->setCaption(QString());
            QCOMPARE(heard.value(label), QStringList({"连线中", "连线中", title}));
        }
        const QString huge(5 * 1024 * 1024, QChar(u'棋'));
        w.lblStatus->setCaption(huge);
        QCOMPARE(heard.value(w.lblStatus).last(), huge.left(CaptionLabel::ToolTipLength));
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
