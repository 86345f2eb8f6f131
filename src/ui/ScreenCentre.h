#pragma once

class QWidget;

namespace kelvane {

// Moves a top-level window, frame included, to the centre of its screen's free area.
void CentreOnScreen(QWidget& window);

} // namespace kelvane
