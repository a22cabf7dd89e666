#include "shell/ShellIcon.h"

#include "shell/InstalledTree.h"

#include <QDir>
#include <QIconEngine>

#include <memory>
#include <optional>

namespace quillet {

namespace {

// The icon compiled into the program: one PNG per size, named "<size>.png", rendered at build
// time from the same drawing as the sizes installed into the icon theme.
QIcon BuiltInIcon()
{
    const QDir folder(QStringLiteral(":/quillet/icons"));
    QIcon icon;
    for (const QString& name : folder.entryList(QDir::Files))
        icon.addFile(folder.filePath(name));
    return icon;
}

// Building the icon decodes every size of the built-in one and searches the icon theme, which
// costs a start a few milliseconds while nothing shows the icon yet (a start in the tray on a
// desktop without one, a main window that stays hidden). So the icon is built the first time it
// is drawn or asked about. The built icon is shared by every copy of the QIcon and by the engine's
// clones, so one icon handed around is built once.
class TDeferredIconEngine final : public QIconEngine {
public:
    TDeferredIconEngine()
        : Built(std::make_shared<std::optional<QIcon>>())
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(
        const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        // `size` is in device pixels here, the icon's own pixmap() takes logical ones.
        return Icon().pixmap(size / scale, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().availableSizes(mode, state);
    }
    QString iconName() override { return Icon().name(); }
    // The built-in icon is compiled into the program, so there always is one; asking this (as
    // the tray icon does when it is shown) needs no build.
    bool isNull() override { return false; }
    QString key() const override { return QStringLiteral("TDeferredIconEngine"); }
    QIconEngine* clone() const override { return new TDeferredIconEngine(*this); }

private:
    TDeferredIconEngine(const TDeferredIconEngine&) = default;

    const QIcon& Icon()
    {
        if (!Built->has_value())
            *Built = QIcon::fromTheme(DesktopId(), BuiltInIcon());
        return **Built;
    }

    std::shared_ptr<std::optional<QIcon>> Built;
};

} // namespace

QIcon QuilletIcon()
{
    return QIcon(new TDeferredIconEngine);
}

} // namespace quillet
