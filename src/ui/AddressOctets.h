#pragma once

#include <QString>
#include <QStringList>
#include <QValidator>

namespace ui {

// What an octet box of the Configure Modem Interface window takes while it
// is typed: up to three digits 0-9 worth at most 255 (Acceptable), an empty
// box (Intermediate, to be filled before Update), nothing else (Invalid).
QValidator::State octetState(const QString& text);

// The dotted address of four octet texts, each written without leading
// zeros; empty when there are not four or one is not a whole octet.
QString joinOctets(const QStringList& octets);

}  // namespace ui
