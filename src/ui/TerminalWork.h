#pragma once

#include <QString>

// What the terminal is doing while the upgrader changes it, and what closing
// the upgrader then costs: the question asked before it closes.
namespace work {

enum class Doing { Software, Antenna, Pic, Restart };

QString closeQuestion(Doing doing);

}  // namespace work
