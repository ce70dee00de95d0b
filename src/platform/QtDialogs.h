#pragma once

#include "platform/Dialogs.h"

#include <QPoint>
#include <QRect>
#include <QSize>

// Real modal boxes and windows; each runs a nested event loop, so sockets and
// timers keep being served while it is open.
class QtDialogs : public Dialogs {
public:
    MsgResult msgBox(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                     const QString& title, MsgResult defaultAnswer) override;
    void showModal(QDialog& dialog) override;
    std::optional<QString> chooseFolder(QWidget* parent, const QString& title, const QString& startDir) override;

    // Top-left corner of a box of the given size: centred over the owner's
    // frame, then moved into the screen's available area. A box larger than
    // the area keeps its top-left corner (title bar, first line) visible.
    static QPoint placeInside(const QRect& ownerFrame, const QSize& box, const QRect& available);
};
