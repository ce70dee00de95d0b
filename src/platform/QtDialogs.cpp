#include "platform/QtDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>

// Boxes and windows are top-level and application-modal rather than children
// of the main window: the main window is disabled while busy, and a child
// would be disabled with it, leaving a box nobody can answer. Being top-level,
// they are placed by hand, over the owner and inside its screen.
namespace {

void placeOnScreen(QWidget& w, QWidget* owner)
{
    const bool overOwner = owner && owner->isVisible();
    QScreen* screen = overOwner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    w.move(QtDialogs::placeInside(overOwner ? owner->frameGeometry() : available, w.frameGeometry().size(), available));
}

// QMessageBox settles its size only in its own showEvent, so it is placed
// after that rather than before exec().
class PlacedMessageBox : public QMessageBox {
public:
    explicit PlacedMessageBox(QWidget* owner) : owner_(owner) {}

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        placeOnScreen(*this, owner_);
    }

private:
    QPointer<QWidget> owner_;
};

// A dialog has its final size once Show arrives; moving it then also keeps
// QDialog from centring it again.
class PlaceOnShow : public QObject {
public:
    explicit PlaceOnShow(QWidget* owner) : owner_(owner) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType())
            placeOnScreen(*static_cast<QWidget*>(watched), owner_);
        return false;
    }

private:
    QPointer<QWidget> owner_;
};

// Windows have no parent (see above); without a window manager nothing is
// active either, so the owner is the visible main window.
QWidget* ownerOf(const QDialog& dialog)
{
    if (dialog.parentWidget())
        return dialog.parentWidget();
    if (QWidget* active = QApplication::activeWindow())
        return active;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->inherits("QMainWindow"))
            return w;
    }
    return nullptr;
}

}  // namespace

QPoint QtDialogs::placeInside(const QRect& ownerFrame, const QSize& box, const QRect& available)
{
    const QPoint centred = ownerFrame.center() - QPoint(box.width() / 2, box.height() / 2);
    // Right and bottom edges first, then left and top, so the top-left corner wins when it cannot all fit.
    const int x = std::max(std::min(centred.x(), available.x() + available.width() - box.width()), available.x());
    const int y = std::max(std::min(centred.y(), available.y() + available.height() - box.height()), available.y());
    return {x, y};
}

MsgResult QtDialogs::msgBox(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                            const QString& title, MsgResult defaultAnswer)
{
    PlacedMessageBox box(parent);
    box.setWindowModality(Qt::ApplicationModal);
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
        box.setDefaultButton(defaultAnswer == MsgResult::No ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int r = box.exec();
    if (buttons == MsgButtons::YesNo)
        return r == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
    return MsgResult::OK;
}

void QtDialogs::showModal(QDialog& dialog)
{
    dialog.setWindowModality(Qt::ApplicationModal);
    PlaceOnShow placer(ownerOf(dialog));
    dialog.installEventFilter(&placer);
    dialog.exec();
    dialog.removeEventFilter(&placer);
}

std::optional<QString> QtDialogs::chooseFolder(QWidget* parent, const QString& title, const QString& startDir)
{
    // Parentless for the same reason as the boxes; asked before the main
    // window is shown, so it is placed on the screen rather than over it.
    QFileDialog chooser(nullptr, title, startDir);
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    chooser.setWindowModality(Qt::ApplicationModal);
    PlaceOnShow placer(parent && parent->isVisible() ? parent : nullptr);
    chooser.installEventFilter(&placer);
    const bool chosen = chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty();
    chooser.removeEventFilter(&placer);
    if (!chosen)
        return std::nullopt;
    return chooser.selectedFiles().constFirst();
}
