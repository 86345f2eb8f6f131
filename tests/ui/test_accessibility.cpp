// The caption labels, and what a screen reader finds in the three windows and is told when a
// label changes. The announcement checks need Qt's AT-SPI bridge: the a11y session runs this
// executable with KELVANE_REQUIRE_ACCESSIBILITY set, so there they run rather than skip.
#include "ui/AboutBox.h"
#include "ui/CaptionLabel.h"
#include "ui/LogonDialog.h"
#include "ui/MainWindow.h"

#include <QAccessible>
#include <QtTest>

using namespace kelvane;

namespace {

const QChar Ellipsis(0x2026);

QString TextOf(QObject* object, QAccessible::Text kind = QAccessible::Name) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(kind) : QString();
}

// Every node of the accessibility tree below `root` that a screen reader would visit.
void CollectShown(QAccessibleInterface* root, QList<QAccessibleInterface*>& found) {
    for (int i = 0; i < root->childCount(); ++i) {
        QAccessibleInterface* child = root->child(i);
        if (child && !child->state().invisible)
            CollectShown(found.emplace_back(child), found);
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
            QVERIFY(QTest::qWaitFor([] { return QAccessible::isActive(); }, 10000));
    }

    // The caption reads back exactly; the label shows what fits, as plain text, and tells the
    // rest in its tooltip, followed by the reason, which also describes it while there is one.
    void aCaptionShowsWhatFitsAndTellsTheRestAndTheReason() {
        CaptionLabel label;
        label.resize(187, 17);
        label.show();
        label.setAccessibleTitle("连线状态");
        label.setCaption("黑方：陈雨桐");
        QVERIFY(label.text() == label.caption() && label.toolTip().isEmpty());
        label.setReason("对方断开了连线");
        QCOMPARE(label.toolTip(), QString("对方断开了连线"));
        QCOMPARE(TextOf(&label, QAccessible::Description), QString("对方断开了连线"));
        const QString longCaption = QString("你好").repeated(40);
        label.setCaption(longCaption);
        QCOMPARE(label.caption(), longCaption);
        QVERIFY(label.text().startsWith("你好你好") && label.text().endsWith(Ellipsis));
        QVERIFY(label.fontMetrics().horizontalAdvance(label.text()) <= 187);
        QCOMPARE(label.toolTip(), longCaption + "\n对方断开了连线");
        label.setReason(QString());
        QCOMPARE(label.toolTip(), longCaption);
        QCOMPARE(TextOf(&label, QAccessible::Description), QString("连线状态"));
        label.resize(2000, 17);
        QVERIFY(label.text() == longCaption && label.toolTip().isEmpty());
        // Names and chat come from the other player: markup must show as typed.
        label.resize(20, 17);
        label.setCaption("<b>bold</b>");
        QCOMPARE(label.textFormat(), Qt::PlainText);
        QVERIFY(label.toolTip().contains("&lt;b&gt;bold&lt;/b&gt;"));
    }

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

    // What a panel label is for stays its description whatever it reads. Each new caption is
    // news, even the same line twice; an emptied label is read by its title; a cut one is
    // read whole, a huge one only as far as its tooltip goes.
    void everyPanelLabelIsReadOutWhenItChanges() {
        MainWindow w;
        const QList<CaptionLabel*> labels = w.findChildren<CaptionLabel*>();
        QCOMPARE(labels.size(), 9);
        const QString line = QString("这是一句很长的话，").repeated(12);
        w.setPeerLine(line);
        for (CaptionLabel* label : labels) {
            const QString title = TextOf(label, QAccessible::Description);
            const bool saying = label->objectName() == "labHeSay";
            QVERIFY(!title.isEmpty());
            QCOMPARE(TextOf(label), saying ? line : title);
            QVERIFY(!saying || label->text() != line);
        }
        if (!QAccessible::isActive())
            QSKIP("no screen-reader bridge on this platform: run in the AT-SPI session");

        QAccessible::installUpdateHandler(Hear);
        const auto stopListening = qScopeGuard([] { QAccessible::installUpdateHandler(nullptr); });
        for (CaptionLabel* label : labels) {
            const QString title = TextOf(label, QAccessible::Description);
            label->setCaption("连线中");
            label->setCaption("连线中");
            label->setCaption(QString());
            QCOMPARE(heard.value(label), QStringList({"连线中", "连线中", title}));
        }
        const QString huge(5 * 1024 * 1024, QChar(u'棋'));
        w.setStatus(huge);
        QCOMPARE(heard.value(w.findChild<CaptionLabel*>("lblStatus")).last(),
                 huge.left(CaptionLabel::ToolTipLength));
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
