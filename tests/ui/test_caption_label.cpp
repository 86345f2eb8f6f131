#include "ui/CaptionLabel.h"
#include "ui/Fonts.h"

#include <QtTest>

using kelvane::CaptionLabel;

namespace {

const QChar Ellipsis(0x2026);

} // namespace

class TestCaptionLabel : public QObject {
    Q_OBJECT

private slots:
    // The caption is program state and reads back exactly; the label shows what fits, as
    // plain text, and tells the rest in its tooltip.
    void showsWhatFitsAndTellsTheRestInItsToolTip() {
        CaptionLabel label;
        label.setFont(kelvane::SongTi(10.5));
        label.resize(187, 17);
        label.show();
        label.setCaption("黑方：陈雨桐");
        QCOMPARE(label.text(), QString("黑方：陈雨桐"));
        QVERIFY(label.toolTip().isEmpty());

        const QString longCaption = QString("你好").repeated(40) + "END";
        label.setCaption(longCaption);
        QCOMPARE(label.caption(), longCaption);
        QVERIFY(label.text().startsWith("你好你好") && label.text().endsWith(Ellipsis));
        QVERIFY(label.fontMetrics().horizontalAdvance(label.text()) <= 187);
        QCOMPARE(label.toolTip(), longCaption);
        label.resize(2000, 17);
        QCOMPARE(label.text(), longCaption);
        QVERIFY(label.toolTip().isEmpty());

        // Names and chat come from the other player: markup must show as typed.
        label.resize(20, 17);
        label.setCaption("<b>bold</b>");
        QCOMPARE(label.textFormat(), Qt::PlainText);
        QVERIFY(label.toolTip().contains("&lt;b&gt;bold&lt;/b&gt;"));
    }

    // A peer may send megabytes: the caption is kept whole, yet shown and tipped short, and
    // an auto-sized label fits a short caption but grows no wider than its maximum.
    void hugeCaptionIsKeptWholeButShownShort() {
        CaptionLabel label;
        label.resize(187, 17);
        label.setAutoSizeMaxWidth(187);
        const QImage blank = label.grab().toImage();
        label.setCaption("张三说："); // first it shrinks to a short caption
        QCOMPARE(label.width(), label.fontMetrics().horizontalAdvance("张三说："));
        const QString huge = QString("五子连珠x").repeated(1024 * 1024);
        label.setCaption(huge);
        QVERIFY(label.caption() == huge);
        QVERIFY(label.text().size() <= CaptionLabel::ShownPrefixLength + 1);
        QVERIFY(label.text().endsWith(Ellipsis));
        QVERIFY(!label.toolTip().isEmpty());
        QVERIFY(label.toolTip().size() <= CaptionLabel::ToolTipLength);
        QCOMPARE(label.width(), 187);
        QVERIFY(label.grab().toImage() != blank);
    }

    // Narrow characters: the bounded prefix fits the width, yet the cut must show, and never
    // inside a surrogate pair.
    void aCutPrefixEndsInAnEllipsisOnAWholeCharacter() {
        CaptionLabel label;
        label.resize(5000, 17);
        label.setCaption(QString("i").repeated(CaptionLabel::ShownPrefixLength * 4));
        QVERIFY(label.text().endsWith(Ellipsis) && !label.toolTip().isEmpty());
        const QString clef = QString::fromUcs4(U"\U0001D11E");
        label.setCaption(QString("a").repeated(CaptionLabel::ShownPrefixLength - 1) + clef + "z");
        QVERIFY(label.text().endsWith(Ellipsis));
        QVERIFY(!label.text().chopped(1).back().isHighSurrogate());
    }
};

QTEST_MAIN(TestCaptionLabel)
#include "test_caption_label.moc"
