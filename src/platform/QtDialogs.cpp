#include "platform/QtDialogs.h"

#include <QDialog>
#include <QApplication>
#include <QMessageBox>

namespace {

// Boxes and windows are top-level and application-modal rather than children
// of the main window: the main window is disabled while busy, and a child
// would be disabled with it, leaving a box nobody can answer.
void centreOver(QWidget& w, QWidget* owner)
{
    w.setWindowModality(Qt::ApplicationModal);
    if (!owner || !owner->isVisible())
        return;
    w.adjustSize();
    const QRect o = owner->frameGeometry();
    w.move(o.center() - QPoint(w.width() / 2, w.height() / 2));
}

}  // namespace

MsgResult QtDialogs::msgBox(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                            const QString& title)
{
    QMessageBox box;
    box.setWindowTitle(title);
    // CR LF pairs are the program's line breaks; the box wants plain LF.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    box.setText(shown);
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::None:
        break;
    }
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    centreOver(box, parent);
    const int r = box.exec();
    if (buttons == MsgButtons::YesNo)
        return r == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
    return MsgResult::OK;
}

void QtDialogs::showModal(QDialog& dialog)
{
    centreOver(dialog, dialog.parentWidget() ? dialog.parentWidget() : QApplication::activeWindow());
    dialog.exec();
}
