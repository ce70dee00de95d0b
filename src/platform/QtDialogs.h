#pragma once

#include "platform/Dialogs.h"

// Real modal boxes and windows; each runs a nested event loop, so sockets and
// timers keep being served while it is open.
class QtDialogs : public Dialogs {
public:
    MsgResult msgBox(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                     const QString& title) override;
    void showModal(QDialog& dialog) override;
};
