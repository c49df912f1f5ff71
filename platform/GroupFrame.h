#pragma once

class QGroupBox;

namespace platform {

// Draws the box's title set into its frame line, with the frame running at the title's middle.
// The windows place their first row of controls 16 pixels below a box's top, which leaves room for
// such a title; a style that puts the title above the frame draws the frame through that row.
void SetTitleIntoFrame(QGroupBox* box);

} // namespace platform
