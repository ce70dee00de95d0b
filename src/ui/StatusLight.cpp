#include "ui/StatusLight.h"

#include <QPainter>

StatusLight::StatusLight(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("statusLED"));
}

QColor StatusLight::toQColor(int colourValue)
{
    return QColor(colourValue & 0xFF, (colourValue >> 8) & 0xFF, (colourValue >> 16) & 0xFF);
}

void StatusLight::setFillColour(int colourValue)
{
    colourValue_ = colourValue;
    update();
}

void StatusLight::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(toQColor(colourValue_));
    const int d = qMin(width(), height()) - 3;
    p.drawEllipse(QRectF(1.5, 1.5, d, d));
}
