#include "platform/QtDialogs.h"

#include <QDialog>
#include <QMessageBox>

MsgResult QtDialogs::msgBox(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                            const QString& title)
{
    QMessageBox box(parent);
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
    // The owner may be disabled while busy; the box itself must stay usable.
    box.setEnabled(true);
    const int r = box.exec();
    if (buttons == MsgButtons::YesNo)
        return r == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
    return MsgResult::OK;
}

void QtDialogs::showModal(QDialog& dialog)
{
    dialog.setEnabled(true);
    dialog.exec();
}
