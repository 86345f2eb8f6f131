#include "ui/AboutBox.h"
#include "ui/BoardPicture.h"
#include "ui/CaptionLabel.h"
#include "ui/LogonDialog.h"
#include "ui/MainWindow.h"

#include <QAccessible>
#include <QSet>
#include <QtTest>

#include <utility>
#include <vector>

using kelvane::AboutBox;
using kelvane::CaptionLabel;
using kelvane::LogonDialog;
using kelvane::MainWindow;

namespace {

QAccessibleInterface* Accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

QString NameOf(QObject* object) {
    QAccessibleInterface* iface = Accessible(object);
    return iface ? iface->text(QAccessible::Name) : QString();
}

QString DescriptionOf(QObject* object) {
    QAccessibleInterface* iface = Accessible(object);
    return iface ? iface->text(QAccessible::Description) : QString();
}

// Every node of the accessibility tree below `root` that a screen reader would visit.
void CollectShown(QAccessibleInterface* root, QList<QAccessibleInterface*>& found) {
    for (int i = 0; i < root->childCount(); ++i) {
        QAccessibleInterface* child = root->child(i);
        if (!child || child->state().invisible)
            continue;
        found.append(child);
        CollectShown(child, found);
    }
}

QString Describe(QAccessibleInterface* iface) {
    QObject* object = iface->object();
    return QStringLiteral("role %1, object %2 (%3)")
        .arg(int(iface->role()))
        .arg(object ? QString::fromLatin1(object->metaObject()->className()) : QString("-"))
        .arg(object ? object->objectName() : QString());
}

// What a screen reader is told while it is alive: each event with the name its object had
// at that moment, since the reader asks for the name when the event reaches it.
class AnnouncementRecorder {
public:
    struct Announcement {
        QObject* object;
        QAccessible::Event type;
        QString name;
    };

    AnnouncementRecorder() {
        heard().clear();
        QAccessible::installUpdateHandler(&AnnouncementRecorder::record);
    }
    ~AnnouncementRecorder() { QAccessible::installUpdateHandler(nullptr); }

    // The names announced for `object` by name changes, in order.
    QStringList namesAnnouncedFor(QObject* object) const {
        QStringList names;
        for (const Announcement& a : heard())
            if (a.object == object && a.type == QAccessible::NameChanged)
                names.append(a.name);
        return names;
    }

private:
    static std::vector<Announcement>& heard() {
        static std::vector<Announcement> announcements;
        return announcements;
    }

    static void record(QAccessibleEvent* event) {
        QAccessibleInterface* iface = event->accessibleInterface();
        heard().push_back(
            {event->object(), event->type(), iface ? iface->text(QAccessible::Name) : QString()});
    }
};

// Qt passes accessibility events on only while a screen-reader bridge is switched on, which
// never happens on the offscreen platform. The AT-SPI session runs these checks for real, with
// KELVANE_REQUIRE_ACCESSIBILITY set so that they cannot be skipped there.
#define SKIP_UNLESS_ANNOUNCING()                                                                   \
    do {                                                                                           \
        if (!QAccessible::isActive())                                                              \
            QSKIP("no screen-reader bridge on this platform: run in the AT-SPI session");          \
    } while (false)

std::vector<std::pair<CaptionLabel*, QString>> CaptionLabelsWithTitles(MainWindow& w) {
    return {
        {w.labBlack, "黑方玩家"},      {w.labBlackScore, "黑方战绩"}, {w.labWhite, "白方玩家"},
        {w.labWhiteScore, "白方战绩"}, {w.labHe, "对方名字"},         {w.labHeSay, "对方的话"},
        {w.labI, "我的名字"},          {w.labISay, "我的话"},         {w.lblStatus, "连线状态"}};
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

    void everyControlOfTheMainWindowHasItsOwnName() {
        MainWindow w;
        QWidget* const controls[] = {
            w.fraContainer, w.labBlack, w.labBlackScore, w.labWhite, w.labWhiteScore, w.labHe,
            w.labHeSay,     w.labI,     w.labISay,       w.txtMsg,   w.cmdSend,       w.cmdNew,
            w.cmdLink,      w.cmdExit,  w.picBoard,      w.picBlock, w.lblStatus};
        QSet<QString> names;
        for (QWidget* control : controls) {
            const QString name = NameOf(control);
            QVERIFY2(!name.isEmpty(), control->metaObject()->className());
            names.insert(name);
        }
        // A listener tells them apart by name alone.
        QCOMPARE(names.size(), qsizetype(std::size(controls)));

        QCOMPARE(NameOf(w.picBoard), QString("棋盘"));
        QCOMPARE(NameOf(w.txtMsg), QString("对话内容"));
        for (const auto& [label, title] : CaptionLabelsWithTitles(w)) {
            QCOMPARE(NameOf(label), title);
            QCOMPARE(DescriptionOf(label), title);
        }
        // Buttons are read by their captions, and described by their tooltips.
        QCOMPARE(NameOf(w.cmdSend), QString("对话"));
        QCOMPARE(DescriptionOf(w.cmdSend), QString("发送消息"));
        QCOMPARE(NameOf(w.cmdExit), QString("退出"));
        QCOMPARE(DescriptionOf(w.cmdExit), QString("退出游戏"));
    }

    // Walks the tree a screen reader sees, menus included, rather than a list that could
    // forget a control.
    void nothingAScreenReaderVisitsInTheMainWindowIsNameless() {
        MainWindow w;
        w.setWindowTitle("Kelvane");
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QList<QAccessibleInterface*> shown;
        CollectShown(Accessible(&w), shown);
        QVERIFY(shown.size() >= 17);
        for (QAccessibleInterface* iface : shown) {
            // The client area and the menu bar only group what they hold.
            if (iface->role() == QAccessible::Client || iface->role() == QAccessible::MenuBar)
                continue;
            if (iface->role() == QAccessible::Separator)
                continue;
            QVERIFY2(!iface->text(QAccessible::Name).isEmpty(), qPrintable(Describe(iface)));
        }
    }

    void everyControlOfTheLogonDialogHasAName() {
        LogonDialog d;
        QCOMPARE(NameOf(&d), QString("登录"));
        QCOMPARE(NameOf(d.labName), QString("你的名字ID"));
        QCOMPARE(NameOf(d.txtName), QString("你的名字"));
        QCOMPARE(NameOf(d.frmMode), QString("游戏玩法"));
        QCOMPARE(NameOf(d.optServer), QString("作为主机"));
        QCOMPARE(NameOf(d.optClient), QString("加入连线"));
        QCOMPARE(NameOf(d.labIP), QString("你的主机IP"));
        QCOMPARE(NameOf(d.txtIP), QString("主机IP地址"));
        QCOMPARE(NameOf(d.cmdOK), QString("确定"));
        QCOMPARE(NameOf(d.cmdEnd), QString("结束"));

        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QList<QAccessibleInterface*> shown;
        CollectShown(Accessible(&d), shown);
        QCOMPARE(shown.size(), 9);
        for (QAccessibleInterface* iface : shown)
            QVERIFY2(!iface->text(QAccessible::Name).isEmpty(), qPrintable(Describe(iface)));
    }

    void everyControlOfTheAboutBoxHasAName() {
        AboutBox box;
        QCOMPARE(NameOf(box.picIcon), QString("程序图标"));
        QCOMPARE(NameOf(box.cmdOK), QString("OK"));
        QCOMPARE(NameOf(box.cmdSysInfo), QString("System Info..."));
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QList<QAccessibleInterface*> shown;
        CollectShown(Accessible(&box), shown);
        QCOMPARE(shown.size(), 8);
        for (QAccessibleInterface* iface : shown)
            QVERIFY2(!iface->text(QAccessible::Name).isEmpty(), qPrintable(Describe(iface)));
    }

    // The labels say which text box they stand for, so a reader can name the box by them.
    void theLogonLabelsLabelTheirTextBoxes() {
        LogonDialog d;
        const auto labelOf = [](QWidget* box) {
            QList<QObject*> labels;
            for (const auto& [iface, relation] : Accessible(box)->relations(QAccessible::Label))
                labels.append(iface->object());
            return labels;
        };
        QCOMPARE(labelOf(d.txtName), QList<QObject*>{d.labName});
        QCOMPARE(labelOf(d.txtIP), QList<QObject*>{d.labIP});
    }

    void theStatusIsReadOutWhenItChanges() {
        SKIP_UNLESS_ANNOUNCING();
        MainWindow w;
        AnnouncementRecorder recorder;
        w.lblStatus->setCaption("等待加入中");
        w.lblStatus->setCaption("连线中");
        w.lblStatus->setCaption("尚未连线");
        QCOMPARE(recorder.namesAnnouncedFor(w.lblStatus),
                 QStringList({"等待加入中", "连线中", "尚未连线"}));
        // What it is stays with it, whatever it reads.
        QCOMPARE(DescriptionOf(w.lblStatus), QString("连线状态"));
    }

    void everyPanelLabelIsReadOutWhenItChanges() {
        SKIP_UNLESS_ANNOUNCING();
        MainWindow w;
        AnnouncementRecorder recorder;
        for (const auto& [label, title] : CaptionLabelsWithTitles(w)) {
            label->setCaption("黑方：陈雨桐");
            QCOMPARE(recorder.namesAnnouncedFor(label), QStringList{"黑方：陈雨桐"});
        }
    }

    // The peer may say the same line twice; the second time is news as well.
    void aChatLineSaidTwiceIsReadOutTwice() {
        SKIP_UNLESS_ANNOUNCING();
        MainWindow w;
        AnnouncementRecorder recorder;
        w.labHeSay->setCaption("你好");
        w.labHeSay->setCaption("你好");
        QCOMPARE(recorder.namesAnnouncedFor(w.labHeSay), QStringList({"你好", "你好"}));
    }

    void anEmptiedLabelIsReadByItsTitle() {
        SKIP_UNLESS_ANNOUNCING();
        MainWindow w;
        w.labWhite->setCaption("白方：玩家");
        AnnouncementRecorder recorder;
        w.labWhite->setCaption(QString());
        QCOMPARE(recorder.namesAnnouncedFor(w.labWhite), QStringList{"白方玩家"});
        QCOMPARE(NameOf(w.labWhite), QString("白方玩家"));
    }

    // The label shows what fits; a listener hears the whole line.
    void aCutCaptionIsReadOutWhole() {
        MainWindow w;
        const QString line = QString("这是一句很长的话，").repeated(12);
        w.labHeSay->setCaption(line);
        QVERIFY(w.labHeSay->text() != line);
        QCOMPARE(NameOf(w.labHeSay), line);
    }

    void aHugeCaptionIsReadOutOnlyAsFarAsItsTooltip() {
        SKIP_UNLESS_ANNOUNCING();
        MainWindow w;
        const QString huge(5 * 1024 * 1024, QChar(u'棋'));
        AnnouncementRecorder recorder;
        w.labHeSay->setCaption(huge);
        const QStringList names = recorder.namesAnnouncedFor(w.labHeSay);
        QCOMPARE(names.size(), 1);
        QCOMPARE(names.first(), huge.left(CaptionLabel::ToolTipLength));
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
