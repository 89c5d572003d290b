// Placing a window in the middle of the screen, frame included.
#pragma once

class QWidget;

namespace vandro {

// Moves the top-level `window` so that its outer rectangle, the window
// manager's frame included, stands in the middle of the primary screen:
// left = (screen width - outer width) / 2, top likewise. Before the window
// manager has framed the window its frame is not known yet; the window is
// then centred once more as soon as it is (before it is first painted).
void centreOnScreen(QWidget &window);

} // namespace vandro
