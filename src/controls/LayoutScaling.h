// Rescaling a window laid out for one font to the font it really got.
#pragma once

#include <QWidget>
#include <vector>

namespace vandro::controls {

// Multiplies the places and sizes of the direct children of each container
// by measured / design, each to the nearest pixel: left and top are
// multiplied, width and height so that the right and bottom edges are;
// edit boxes and combo boxes instead keep the height that follows their
// font (`editHeight`); a child with a font of its own has its font size
// multiplied; navigator bars lay their buttons out anew. The window's
// fixed client size `client` is multiplied too. Nothing happens when
// measured equals design.
void scaleLayout(QWidget &window, const std::vector<QWidget *> &containers, int measured, int design,
                 QSize client, int editHeight);

} // namespace vandro::controls
