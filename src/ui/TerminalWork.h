#pragma once

#include <QString>

// What the terminal is doing while the upgrader changes it, and what stopping
// the upgrader then costs: the window asks before it closes, the front end
// warns when it is told to stop.
namespace work {

enum class Doing { Software, Antenna, Pic, Restart };

// One sentence: what the terminal is doing.
QString doingText(Doing doing);

// What stopping now leaves behind and what to do then, in the terms of the
// window's menus or of the front end's options.
enum class Terms { Window, FrontEnd };
QString stopCost(Doing doing, Terms terms);

// The window's question before it closes.
QString closeQuestion(Doing doing);

}  // namespace work
