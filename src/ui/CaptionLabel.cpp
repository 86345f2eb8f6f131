#include "ui/CaptionLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QTextDocument>

#include <algorithm>

namespace kelvane {

namespace {

// The first `length` characters, without cutting a surrogate pair in half.
QString BoundedPrefix(const QString& text, qsizetype length) {
    if (text.size() <= length)
        return text;
    if (text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length);
}

// Shown as plain text even when it looks like markup: names and chat come from the peer.
QString PlainToolTip(const QString& text) {
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

} // namespace

CaptionLabel::CaptionLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setMargin(0);
    setIndent(0);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void CaptionLabel::setCaption(const QString& caption) {
    caption_ = caption;
    fitWidthToCaption();
    refreshShownText();
    announceCaption();
}

void CaptionLabel::setAccessibleTitle(const QString& title) {
    title_ = title;
    setAccessibleDescription(reason_.isEmpty() ? title_ : reason_);
    if (caption_.isEmpty())
        setAccessibleName(title);
}

void CaptionLabel::setReason(const QString& reason) {
    reason_ = reason;
    setAccessibleDescription(reason_.isEmpty() ? title_ : reason_);
    refreshShownText();
}

void CaptionLabel::setAutoSizeMaxWidth(int maxWidth) {
    autoSizeMaxWidth_ = std::max(0, maxWidth);
    if (!caption_.isEmpty())
        fitWidthToCaption();
    refreshShownText();
}

void CaptionLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    refreshShownText();
}

void CaptionLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        fitWidthToCaption();
        refreshShownText();
    }
}

void CaptionLabel::fitWidthToCaption() {
    if (autoSizeMaxWidth_ == 0)
        return;
    const QString measured = BoundedPrefix(caption_, ShownPrefixLength);
    const QMargins margins = contentsMargins();
    const int textWidth = fontMetrics().horizontalAdvance(measured);
    resize(std::min(autoSizeMaxWidth_, textWidth + margins.left() + margins.right()), height());
}

void CaptionLabel::refreshShownText() {
    const QString prefix = BoundedPrefix(caption_, ShownPrefixLength);
    const bool cut = prefix.size() < caption_.size();
    // A cut caption always ends in an ellipsis, even if its prefix happened to fit.
    const QString candidate = cut ? prefix + QChar(0x2026) : prefix;
    const QString shown =
        fontMetrics().elidedText(candidate, Qt::ElideRight, contentsRect().width());
    QLabel::setText(shown);
    const bool elided = cut || shown != caption_;
    QString tip = elided ? BoundedPrefix(caption_, ToolTipLength) : QString();
    if (!reason_.isEmpty())
        tip = tip.isEmpty() ? reason_ : tip + QLatin1Char('\n') + reason_;
    setToolTip(PlainToolTip(tip));
}

// Setting the name tells screen readers it changed, also when the caption is set again to the
// same text: a chat line said twice is read out twice. A reader gets no more than a tooltip.
void CaptionLabel::announceCaption() {
    setAccessibleName(caption_.isEmpty() ? title_
                                         : BoundedPrefix(caption_, ToolTipLength));
}

} // namespace kelvane
