#include "platform/ScriptedDialogs.h"

#include "platform/EventPump.h"

#include <QDialog>

MsgResult ScriptedDialogs::msgBox(QWidget*, const QString& text, MsgButtons buttons, MsgIcon icon,
                                  const QString& title, MsgResult defaultAnswer)
{
    MsgRecord rec;
    rec.defaultAnswer = buttons == MsgButtons::YesNo ? defaultAnswer : MsgResult::OK;
    rec.title = title;
    rec.text = text;
    rec.icon = icon;
    rec.buttons = buttons;
    if (dwellMs_ > 0)
        EventPump::waitUnscaled(dwellMs_);
    if (buttons == MsgButtons::OK) {
        rec.answer = MsgResult::OK;
        if (policy_)
            policy_(rec);
    } else if (!answers_.empty()) {
        rec.answer = answers_.front();
        answers_.pop_front();
    } else if (policy_) {
        rec.answer = policy_(rec);
    } else {
        rec.answer = MsgResult::No;
    }
    boxes_.append(rec);
    if (onBox)
        onBox(rec);
    return rec.answer;
}

void ScriptedDialogs::showModal(QDialog& dialog)
{
    windows_.append(dialog.windowTitle());
    if (onWindow)
        onWindow(dialog.windowTitle());
    if (!windowScripts_.empty()) {
        WindowScript script = std::move(windowScripts_.front());
        windowScripts_.pop_front();
        if (script)
            script(dialog);
    }
    if (dialog.isVisible())
        dialog.reject();
}

std::optional<QString> ScriptedDialogs::chooseFolder(QWidget*, const QString&, const QString& startDir)
{
    choosersStartedIn_.append(startDir);
    if (folders_.empty())
        return std::nullopt;
    const QString folder = folders_.front();
    folders_.pop_front();
    if (folder.isNull())
        return std::nullopt;
    return folder;
}
