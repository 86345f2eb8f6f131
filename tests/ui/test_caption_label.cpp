#include "ui/CaptionLabel.h"
#include "ui/Fonts.h"

#include <QFontMetrics>
#include <QImage>
#include <QtTest>

using kelvane::CaptionLabel;

namespace {

QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool HasDarkPixel(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                return true;
    return false;
}

} // namespace

class TestCaptionLabel : public QObject {
    Q_OBJECT

private slots:
    void shortCaptionIsShownWholeWithoutToolTip() {
        CaptionLabel label;
        label.setFont(kelvane::SongTi(10.5));
        label.resize(187, 17);
        label.setCaption("黑方：陈雨桐");
        QCOMPARE(label.caption(), QString("黑方：陈雨桐"));
        QCOMPARE(label.text(), QString("黑方：陈雨桐"));
        QVERIFY(label.toolTip().isEmpty());
    }

    void longCaptionIsElidedOnTheRightWithFullToolTip() {
        CaptionLabel label;
        label.setFont(kelvane::SongTi(10.5));
        label.resize(187, 17);
        const QString caption = QString("你好").repeated(40) + "END";
        label.setCaption(caption);
        QCOMPARE(label.caption(), caption);
        QVERIFY(label.text().endsWith(QChar(0x2026)));
        QVERIFY(label.text().startsWith("你好你好"));
        QVERIFY(label.fontMetrics().horizontalAdvance(label.text()) <= 187);
        QCOMPARE(label.toolTip(), caption);
    }

    void elidingFollowsTheWidth() {
        CaptionLabel label;
        label.resize(400, 17);
        label.show();
        const QString caption = "Twenty characters!!!";
        label.setCaption(caption);
        QCOMPARE(label.text(), caption);
        label.resize(30, 17);
        QVERIFY(label.text() != caption);
        QVERIFY(!label.toolTip().isEmpty());
        label.resize(400, 17);
        QCOMPARE(label.text(), caption);
        QVERIFY(label.toolTip().isEmpty());
    }

    void emptyCaptionClearsTextAndToolTip() {
        CaptionLabel label;
        label.resize(20, 17);
        label.setCaption(QString("很长的字").repeated(20));
        QVERIFY(!label.toolTip().isEmpty());
        label.setCaption(QString());
        QVERIFY(label.caption().isEmpty());
        QVERIFY(label.text().isEmpty());
        QVERIFY(label.toolTip().isEmpty());
    }

    // Names and chat come from the other player: markup must show as typed.
    void markupIsShownAsPlainText() {
        CaptionLabel label;
        label.resize(400, 17);
        label.show();
        label.setCaption("<b>bold</b>");
        QCOMPARE(label.textFormat(), Qt::PlainText);
        QCOMPARE(label.text(), QString("<b>bold</b>"));

        label.resize(20, 17);
        QVERIFY(!label.toolTip().contains("<b>"));
        QVERIFY(label.toolTip().contains("&lt;b&gt;bold&lt;/b&gt;"));
    }

    void autoSizeGrowsToCaptionUpToItsMaximum() {
        CaptionLabel label;
        label.setFont(kelvane::SongTi(10.5));
        label.resize(187, 17);
        label.setAutoSizeMaxWidth(187);
        label.setCaption("张三说：");
        QCOMPARE(label.width(), label.fontMetrics().horizontalAdvance("张三说："));
        QCOMPARE(label.height(), 17);
        QCOMPARE(label.text(), QString("张三说："));

        label.setCaption(QString("名").repeated(100) + "说：");
        QCOMPARE(label.width(), 187);
        QVERIFY(label.text().endsWith(QChar(0x2026)));

        label.setCaption("李四说：");
        QCOMPARE(label.width(), label.fontMetrics().horizontalAdvance("李四说："));
        QVERIFY(label.toolTip().isEmpty());
    }

    void autoSizeFollowsFontChanges() {
        CaptionLabel label;
        label.setFont(kelvane::SongTi(9));
        label.setAutoSizeMaxWidth(500);
        label.setCaption("abcdefgh");
        const int small = label.width();
        label.setFont(kelvane::SongTi(16));
        QVERIFY(label.width() > small);
    }

    void hugeCaptionIsKeptWholeButShownShort() {
        CaptionLabel label;
        label.resize(187, 17);
        label.setAutoSizeMaxWidth(187);
        const QString huge = QString("五子连珠x").repeated(1024 * 1024); // 5 M characters
        label.setCaption(huge);
        QCOMPARE(label.caption().size(), huge.size());
        QVERIFY(label.caption() == huge);
        QVERIFY(label.text().size() <= CaptionLabel::ShownPrefixLength + 1);
        QVERIFY(label.text().endsWith(QChar(0x2026)));
        QVERIFY(label.toolTip().size() > 0);
        QVERIFY(label.toolTip().size() <= CaptionLabel::ToolTipLength);
        QCOMPARE(label.width(), 187);
        QVERIFY(HasDarkPixel(Grab(label)));
    }

    // Narrow characters: the bounded prefix fits the width, the cut must still show.
    void cutCaptionAlwaysShowsEllipsis() {
        CaptionLabel label;
        label.resize(2000, 17);
        const QString huge = QString("i").repeated(CaptionLabel::ShownPrefixLength * 4);
        label.setCaption(huge);
        QVERIFY(label.text().endsWith(QChar(0x2026)));
        QVERIFY(!label.toolTip().isEmpty());
    }

    void prefixDoesNotSplitSurrogatePair() {
        CaptionLabel label;
        label.resize(5000, 17);
        const QString clef = QString::fromUcs4(U"\U0001D11E");
        // A pair that straddles the prefix boundary.
        const QString caption =
            QString("a").repeated(CaptionLabel::ShownPrefixLength - 1) + clef + "tail";
        label.setCaption(caption);
        const QString shown = label.text();
        QVERIFY(shown.endsWith(QChar(0x2026)));
        const QString body = shown.chopped(1);
        QVERIFY(!body.isEmpty());
        QVERIFY(!body.back().isHighSurrogate());
    }
};

QTEST_MAIN(TestCaptionLabel)
#include "test_caption_label.moc"
