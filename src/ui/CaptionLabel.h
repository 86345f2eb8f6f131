#pragma once

#include <QLabel>
#include <QString>

namespace kelvane {

// A one-line label that shows only what fits of its caption, elided on the right, with the
// whole text as its tooltip; caption() still returns exactly what was set.
// Captions may come from the other player, so they are always shown as plain text.
// Set captions with setCaption(); QLabel::setText() bypasses eliding.
// Screen readers get the whole caption as the label's accessible name, and every new caption
// is announced to them as a change of that name.
class CaptionLabel : public QLabel {
    Q_OBJECT

public:
    explicit CaptionLabel(QWidget* parent = nullptr);

    void setCaption(const QString& caption);
    QString caption() const { return caption_; }

    // What the label is for, e.g. "连线状态": its accessible description, and its accessible
    // name while the caption is empty, so a screen reader never meets a nameless label.
    void setAccessibleTitle(const QString& title);
    // A note on the caption, such as why the link is down: the tooltip, and the accessible
    // description in place of the title. Empty drops it.
    void setReason(const QString& reason);

    // A label with a maximum width sizes its width to each new caption, up to that many
    // pixels; until the first caption it keeps its layout width. 0 turns this off.
    void setAutoSizeMaxWidth(int maxWidth);

    // No label is wide enough to show more characters than this, so only this prefix is ever
    // measured and elided: a caption of megabytes costs no more to show than a short one.
    static constexpr qsizetype ShownPrefixLength = 512;
    // The tooltip of a cut caption stops after this many characters, for the same reason.
    static constexpr qsizetype ToolTipLength = 4000;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void fitWidthToCaption();
    void refreshShownText();
    void announceCaption();

    QString caption_;
    QString title_;
    QString reason_;
    int autoSizeMaxWidth_ = 0;
};

} // namespace kelvane
