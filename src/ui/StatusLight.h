#pragma once

#include <QColor>
#include <QWidget>

// The round status light: red when FTP to the terminal is not possible,
// green when it is.
class StatusLight : public QWidget {
    Q_OBJECT
public:
    explicit StatusLight(QWidget* parent = nullptr);
    // Colour value as the original stored it: 0x00BBGGRR.
    void setFillColour(int colourValue);
    int fillColour() const { return colourValue_; }
    static QColor toQColor(int colourValue);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int colourValue_ = 255;
};
