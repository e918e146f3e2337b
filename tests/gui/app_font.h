#pragma once
// Sets the application font for one test and puts the old one back afterwards. The window's and the
// grid's measures follow the font's line height, so tests of the pixel layout pick their font.
#include <QApplication>
#include <QFont>

namespace vistrel::testing {

class TAppFont {
public:
    explicit TAppFont(const QFont& font) : old_(QApplication::font()) { QApplication::setFont(font); }
    ~TAppFont() { QApplication::setFont(old_); }
    TAppFont(const TAppFont&) = delete;
    TAppFont& operator=(const TAppFont&) = delete;

    // DejaVu Sans at `points`, the usual desktop font.
    static QFont Points(int points) { return QFont(QStringLiteral("DejaVu Sans"), points); }
    // A font whose line is at most 13 pixels high: the grid keeps its unscaled measures.
    static QFont Unscaled() {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(10);
        return font;
    }

private:
    QFont old_;
};

} // namespace vistrel::testing
