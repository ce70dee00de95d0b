#include "ui/ReadableWhenDisabled.h"

namespace ui {

QPalette readableWhenDisabled(QPalette palette)
{
    for (int r = 0; r < QPalette::NColorRoles; ++r) {
        const auto role = static_cast<QPalette::ColorRole>(r);
        if (role != QPalette::NoRole)
            palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
    }
    return palette;
}

}  // namespace ui
