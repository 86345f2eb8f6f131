#pragma once

class QWidget;

namespace kelvane {

// The first time the top-level `window` is shown, once its size is final and before it
// appears, moves it, frame included, to the centre of its screen's free area. Later shows
// leave it where the user put it.
void CentreWhenFirstShown(QWidget& window);

} // namespace kelvane
