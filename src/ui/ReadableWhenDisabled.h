#pragma once

#include <QPalette>

namespace ui {

// The palette with its disabled colours made the enabled ones. The window is
// disabled while it works, which is when its status line and progress bar
// are read: they must not turn grey then.
QPalette readableWhenDisabled(QPalette palette);

}  // namespace ui
