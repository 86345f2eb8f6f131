#pragma once

class QWidget;

namespace kelvane {

// The first time the top-level `window` is shown, once its size is final and before it
// appears, moves it, frame included, to the centre of its screen's free area. Later shows
// leave it where the user put it.
void CentreWhenFirstShown(QWidget& window);

// Makes the top-level `dialog` belong to `owner` without becoming its child (which would
// share the owner's disabled state): transient for it, so that window managers and Wayland
// compositors keep it over the owner and give it no taskbar entry, and centred on the owner
// rather than the screen while the owner is shown.
void BelongTo(QWidget& dialog, QWidget& owner);

} // namespace kelvane
