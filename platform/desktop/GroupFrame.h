#pragma once

class QGroupBox;

namespace platform {

// Draws the box's title set into its frame line, with the frame running at the title's middle.
// The main window places the first row of a box's controls 16 pixels below its top, which leaves
// room for such a title; a style that puts the title above the frame draws the frame through it.
void SetTitleIntoFrame(QGroupBox* box);

} // namespace platform
