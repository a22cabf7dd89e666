#include "skin/art/SkinArt.h"

#include <QLinearGradient>
#include <QPainter>

#include <vector>

namespace quillet::skin::art {

QImage DrawFrame(QSize size, const QColor& behind, const std::function<void(QPainter&)>& draw)
{
    QImage canvas(size, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing, true);
        draw(painter);
    }
    QImage frame(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb pixel = canvas.pixel(x, y);
            const int alpha = qAlpha(pixel);
            if (alpha < 128) {
                frame.setPixel(x, y, qRgb(255, 0, 255));
                continue;
            }
            const auto mix = [&](int over, int under) {
                return (over * alpha + under * (255 - alpha) + 127) / 255;
            };
            frame.setPixel(x, y,
                qRgb(mix(qRed(pixel), behind.red()), mix(qGreen(pixel), behind.green()),
                    mix(qBlue(pixel), behind.blue())));
        }
    }
    return frame;
}

QImage Strip(const std::vector<QImage>& frames)
{
    if (frames.empty())
        return {};
    const QSize size = frames.front().size();
    QImage strip(
        size.width() * static_cast<int>(frames.size()), size.height(), QImage::Format_RGB32);
    QPainter painter(&strip);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (std::size_t i = 0; i < frames.size(); ++i)
        painter.drawImage(QPoint(static_cast<int>(i) * size.width(), 0), frames[i]);
    return strip;
}

QPainterPath RoundedBox(const QRectF& pixels, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(pixels.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    return path;
}

void FillAndStroke(QPainter& painter, const QPainterPath& path, const QColor& top,
    const QColor& bottom, const QColor& line, const QRectF& extent)
{
    QLinearGradient gradient(extent.topLeft(), extent.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.fillPath(path, gradient);
    painter.setPen(QPen(line, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

} // namespace quillet::skin::art
