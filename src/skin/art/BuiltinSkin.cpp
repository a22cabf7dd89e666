#include "skin/art/BuiltinSkin.h"

#include "skin/SkinParts.h"
#include "skin/art/SkinArt.h"

#include <QDir>
#include <QFile>
#include <QPainter>

#include <cmath>
#include <sstream>

namespace quillet::skin::art {
namespace {

// The skin's colours. Light cool greys for faces and lines, the chat window's teal as the one
// accent (focus, marks, selection), amber only for a tab asking for attention. Every text stands
// at least 4.5:1 against what it is drawn on, disabled text included: the darker teal carries
// white text, and the grey of disabled text is dark enough for every light face it meets.
const QColor Face(238, 240, 243);
const QColor White(255, 255, 255);
const QColor Ink(31, 41, 51);
const QColor InkSoft(62, 76, 89);
const QColor Line(154, 165, 177);
const QColor LineHover(96, 150, 152);
const QColor LineSoft(205, 211, 218);
const QColor Accent(26, 138, 138);
const QColor AccentDark(17, 110, 110);
const QColor AccentTint(214, 236, 235);
const QColor AccentRing(156, 207, 206);
const QColor DisabledFace(244, 245, 247);
const QColor DisabledInk(96, 104, 114);
const QColor Groove(236, 238, 241);
const QColor Amber(243, 210, 124);
const QColor AmberLight(251, 231, 169);
const QColor AmberLine(196, 154, 44);

// A part whose description section is named after `kind`, with its bitmap's file name.
TArtPart NewPart(TSkinPartKind kind, const char* file)
{
    TArtPart part;
    part.Section = std::string(SectionOf(kind));
    part.File = file;
    return part;
}

struct TButtonLook {
    QColor Top;
    QColor Bottom;
    QColor Line;
    bool Ring = false;
    bool Highlight = true;
};

QImage PushButtonFrame(const TButtonLook& look)
{
    const QSize size(20, 25);
    return DrawFrame(size, Face, [&](QPainter& p) {
        const QRectF box(0, 0, size.width(), size.height());
        FillAndStroke(p, RoundedBox(box, 3.5), look.Top, look.Bottom, look.Line, box);
        if (look.Highlight) {
            p.setPen(QPen(QColor(255, 255, 255, 200), 1.0));
            p.drawLine(QPointF(3, 1.5), QPointF(size.width() - 3, 1.5));
        }
        if (look.Ring) {
            p.setPen(QPen(AccentRing, 1.0));
            p.drawPath(RoundedBox(box.adjusted(1, 1, -1, -1), 2.5));
        }
    });
}

TArtPart PushButton()
{
    const TButtonLook normal { White, QColor(231, 235, 240), Line };
    const TButtonLook hover { White, QColor(223, 238, 237), LineHover };
    const TButtonLook pressed { QColor(205, 224, 224), QColor(226, 237, 237), AccentDark, false,
        false };
    const TButtonLook disabled { DisabledFace, DisabledFace, LineSoft, false, false };
    const TButtonLook focused { White, QColor(231, 235, 240), Accent, true };
    const TButtonLook focusedHover { White, QColor(223, 238, 237), Accent, true };
    TArtPart part = NewPart(TSkinPartKind::PushButton, "pushbutton.bmp");
    part.Image = Strip({ PushButtonFrame(normal), PushButtonFrame(hover), PushButtonFrame(pressed),
        PushButtonFrame(disabled), PushButtonFrame(focused), PushButtonFrame(focusedHover) });
    part.Margins = QMargins(4, 4, 4, 4);
    part.Frames = frames::ButtonCount;
    part.Trans = true;
    part.FrameNote = "normal, hover, pressed, disabled, focused, focused with hover";
    part.NormalColour = Ink;
    part.MouseOverColour = QColor(12, 70, 70);
    part.PressedColour = QColor(12, 70, 70);
    return part;
}

struct TMarkLook {
    QColor Fill;
    QColor Line;
    QColor Mark;
};

// Unmarked normal, hover, pressed, disabled; then the same marked.
std::vector<TMarkLook> MarkLooks()
{
    return { { White, Line, {} }, { QColor(243, 250, 250), LineHover, {} },
        { AccentTint, AccentDark, {} }, { DisabledFace, LineSoft, {} },
        { Accent, AccentDark, White }, { QColor(35, 155, 155), AccentDark, White },
        { AccentDark, AccentDark, White },
        { QColor(190, 204, 204), QColor(176, 190, 190), White } };
}

TArtPart CheckBox()
{
    std::vector<QImage> images;
    for (const TMarkLook& look : MarkLooks()) {
        images.push_back(DrawFrame({ 14, 14 }, Face, [&](QPainter& p) {
            const QRectF box(0, 0, 14, 14);
            FillAndStroke(p, RoundedBox(box, 2.5), look.Fill, look.Fill, look.Line, box);
            if (look.Mark.isValid()) {
                QPainterPath tick;
                tick.moveTo(3.4, 7.2);
                tick.lineTo(5.9, 9.8);
                tick.lineTo(10.6, 4.2);
                p.setPen(QPen(look.Mark, 1.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.drawPath(tick);
            }
        }));
    }
    TArtPart part = NewPart(TSkinPartKind::CheckBox, "checkbox.bmp");
    part.Image = Strip(images);
    part.Frames = frames::MarkCount;
    part.Trans = true;
    part.FrameNote = "clear: normal, hover, pressed, disabled; then the same checked";
    return part;
}

TArtPart RadioButton()
{
    std::vector<QImage> images;
    for (const TMarkLook& look : MarkLooks()) {
        images.push_back(DrawFrame({ 14, 14 }, Face, [&](QPainter& p) {
            const bool marked = look.Mark.isValid();
            // A marked button: a ring in the mark's colour around a dot.
            p.setBrush(marked ? White : look.Fill);
            p.setPen(QPen(marked ? look.Fill : look.Line, marked ? 1.6 : 1.0));
            p.drawEllipse(QRectF(0.6, 0.6, 12.8, 12.8));
            if (marked) {
                p.setPen(Qt::NoPen);
                p.setBrush(look.Fill);
                p.drawEllipse(QPointF(7, 7), 3.2, 3.2);
            }
        }));
    }
    TArtPart part = NewPart(TSkinPartKind::RadioButton, "radiobutton.bmp");
    part.Image = Strip(images);
    part.Frames = frames::MarkCount;
    part.Trans = true;
    part.FrameNote = "clear: normal, hover, pressed, disabled; then the same chosen";
    return part;
}

TArtPart GroupBox()
{
    TArtPart part = NewPart(TSkinPartKind::GroupBox, "groupbox.bmp");
    part.Image = DrawFrame({ 12, 12 }, Face, [](QPainter& p) {
        p.setPen(QPen(QColor(196, 203, 211), 1.0));
        p.drawPath(RoundedBox(QRectF(0, 0, 12, 12), 4));
    });
    // The inside stays the window's own colour.
    for (int y = 2; y < 10; ++y)
        for (int x = 2; x < 10; ++x)
            part.Image.setPixel(x, y, qRgb(255, 0, 255));
    part.Margins = QMargins(4, 4, 4, 4);
    part.Trans = true;
    return part;
}

struct TTabLook {
    QColor Top;
    QColor Bottom;
    QColor Line;
    bool Selected = false;
};

// A tab 24 high: rounded top corners, open at the bottom. The selected tab's last three rows lie
// over the pane's top edge: there its sides turn into the pane's border line and the rest is the
// pane's face, so the tab opens into the pane; a band of the dark accent along its top marks it
// as the one shown.
QImage TabFrame(const TTabLook& look)
{
    const QSize size(20, 24);
    const int body = look.Selected ? 21 : 24;
    return DrawFrame(size, Face, [&](QPainter& p) {
        QPainterPath shape;
        shape.moveTo(0.5, body + 0.5);
        shape.lineTo(0.5, 3.5);
        shape.quadTo(0.5, 0.5, 3.5, 0.5);
        shape.lineTo(size.width() - 3.5, 0.5);
        shape.quadTo(size.width() - 0.5, 0.5, size.width() - 0.5, 3.5);
        shape.lineTo(size.width() - 0.5, body + 0.5);
        QLinearGradient gradient(0, 0, 0, body);
        gradient.setColorAt(0, look.Top);
        gradient.setColorAt(1, look.Bottom);
        p.fillPath(shape, gradient);
        if (look.Selected) {
            p.save();
            p.setClipPath(shape);
            p.fillRect(QRectF(0, 0, size.width(), 3), AccentDark);
            p.restore();
        }
        p.setPen(QPen(look.Selected ? AccentDark : look.Line, 1.0));
        p.drawPath(shape);
        if (look.Selected)
            p.fillRect(QRectF(0, body + 1, size.width(), size.height() - body - 1), Face);
    });
}

TArtPart Tabs()
{
    TArtPart part = NewPart(TSkinPartKind::Tab, "tabs.bmp");
    part.Image = Strip({ TabFrame({ QColor(221, 226, 232), QColor(203, 210, 219), Line }),
        TabFrame({ QColor(236, 239, 243), QColor(222, 227, 233), LineHover }),
        TabFrame({ Face, Face, Line, true }), TabFrame({ AmberLight, Amber, AmberLine }),
        TabFrame({ QColor(240, 241, 243), QColor(236, 238, 241), LineSoft }) });
    part.Margins = QMargins(4, 4, 4, 3);
    part.Frames = frames::TabCount;
    part.Trans = true;
    part.FrameNote = "normal, hover, selected, asking for attention, ended (captions in GrayText)";
    part.NormalColour = InkSoft;
    part.MouseOverColour = Ink;
    part.PressedColour = Ink;
    part.NormalColour2 = QColor(58, 44, 0);
    return part;
}

// A part of one frame: a 12 x 12 box with rounded corners in `fill`, outlined in `line`, standing
// on `behind`; `band` pixels on each side keep their size.
TArtPart BoxPart(TSkinPartKind kind, const char* file, const QColor& behind, const QColor& fill,
    const QColor& line, int band)
{
    TArtPart part = NewPart(kind, file);
    part.Image = DrawFrame({ 12, 12 }, behind, [&](QPainter& p) {
        const QRectF box(0, 0, 12, 12);
        FillAndStroke(p, RoundedBox(box, 3), fill, fill, line, box);
    });
    part.Margins = QMargins(band, band, band, band);
    part.Trans = true;
    return part;
}

TArtPart TabPane()
{
    return BoxPart(TSkinPartKind::TabPane, "tabpane.bmp", Face, Face, Line, 3);
}

TArtPart ScrollButtons()
{
    std::vector<QImage> images;
    for (const QColor& fill : { Groove, QColor(221, 226, 232), QColor(201, 208, 216), Groove }) {
        images.push_back(
            DrawFrame({ 15, 15 }, Groove, [&](QPainter& p) { p.fillRect(0, 0, 15, 15, fill); }));
    }
    TArtPart part = NewPart(TSkinPartKind::ScrollButton, "scrollbuttons.bmp");
    part.Image = Strip(images);
    part.Margins = QMargins(2, 2, 2, 2);
    part.Frames = frames::ScrollCount;
    part.FrameNote = "arrow buttons: normal, hover, pressed, disabled";
    part.NormalColour = QColor(107, 119, 133);
    part.MouseOverColour = Ink;
    part.PressedColour = Ink;
    return part;
}

TArtPart GroovePart(TSkinPartKind kind, bool horizontal)
{
    TArtPart part = NewPart(kind, horizontal ? "horzscroll.bmp" : "vertscroll.bmp");
    const QSize size = horizontal ? QSize(16, 15) : QSize(15, 16);
    part.Image = DrawFrame(size, Groove, [&](QPainter& p) {
        p.fillRect(QRect(QPoint(0, 0), size), Groove);
        // A hairline towards the content.
        p.fillRect(horizontal ? QRect(0, 0, size.width(), 1) : QRect(0, 0, 1, size.height()),
            QColor(221, 225, 230));
    });
    part.Margins = horizontal ? QMargins(0, 1, 0, 0) : QMargins(1, 0, 0, 0);
    return part;
}

TArtPart Thumb(TSkinPartKind kind, bool horizontal)
{
    std::vector<QImage> images;
    for (const QColor& fill : { QColor(194, 201, 209), QColor(169, 178, 189), QColor(142, 153, 166),
             QColor(222, 226, 231) }) {
        const QSize size = horizontal ? QSize(24, 15) : QSize(15, 24);
        images.push_back(DrawFrame(size, Groove, [&](QPainter& p) {
            const QRectF capsule = horizontal ? QRectF(1, 3.5, 22, 9) : QRectF(3.5, 1, 9, 22);
            p.setPen(Qt::NoPen);
            p.setBrush(fill);
            p.drawRoundedRect(capsule, 4.5, 4.5);
        }));
    }
    TArtPart part = NewPart(kind, horizontal ? "horzthumb.bmp" : "vertthumb.bmp");
    part.Image = Strip(images);
    part.Margins = horizontal ? QMargins(6, 7, 6, 7) : QMargins(7, 6, 7, 6);
    part.Frames = frames::ScrollCount;
    part.Trans = true;
    part.FrameNote = "normal, hover, pressed, disabled";
    return part;
}

TArtPart SunkEdge()
{
    // One line whose colour shows the state, the same width as the native frame so that the
    // program's fixed layouts keep their room; the centre lets the content through.
    std::vector<QImage> images;
    for (const QColor& line :
        { QColor(167, 177, 188), QColor(112, 126, 140), Accent, QColor(208, 213, 219) }) {
        QImage frame(6, 6, QImage::Format_RGB32);
        frame.fill(line);
        for (int y = 1; y < 5; ++y)
            for (int x = 1; x < 5; ++x)
                frame.setPixel(x, y, qRgb(255, 0, 255));
        images.push_back(frame);
    }
    TArtPart part = NewPart(TSkinPartKind::SunkEdge, "sunkedge.bmp");
    part.Image = Strip(images);
    part.Margins = QMargins(1, 1, 1, 1);
    part.Frames = frames::EdgeCount;
    part.Trans = true;
    part.FrameNote = "frames of edits and lists: normal, hover, focused, disabled";
    return part;
}

TArtPart MenuBackground()
{
    TArtPart part = NewPart(TSkinPartKind::MenuBackground, "menu.bmp");
    part.Image = DrawFrame({ 12, 12 }, White, [](QPainter& p) {
        p.fillRect(0, 0, 12, 12, White);
        p.setPen(QPen(QColor(181, 190, 200), 1.0));
        p.drawRect(QRectF(0.5, 0.5, 11, 11));
    });
    part.Margins = QMargins(2, 2, 2, 2);
    return part;
}

TArtPart MenuItem()
{
    TArtPart part
        = BoxPart(TSkinPartKind::MenuItem, "menuitem.bmp", White, AccentTint, AccentRing, 4);
    part.NormalColour = Ink;
    part.MouseOverColour = QColor(10, 64, 64);
    return part;
}

std::string Rgb(const QColor& colour)
{
    std::ostringstream text;
    text << colour.red() << ' ' << colour.green() << ' ' << colour.blue();
    return text.str();
}

} // namespace

TArtSkin BuiltinSkin()
{
    TArtSkin skin;
    skin.Name = "Quillet";
    skin.Parts = { PushButton(), CheckBox(), RadioButton(), GroupBox(), Tabs(), TabPane(),
        ScrollButtons(), GroovePart(TSkinPartKind::HorzScroll, true),
        GroovePart(TSkinPartKind::VertScroll, false), Thumb(TSkinPartKind::HorzScrollThumb, true),
        Thumb(TSkinPartKind::VertScrollThumb, false), SunkEdge(), MenuItem(), MenuBackground() };
    skin.Colours = { { "ButtonFace", Face }, { "ButtonText", Ink }, { "ButtonHilight", White },
        { "ButtonLight", QColor(247, 248, 250) }, { "ButtonShadow", Line },
        { "ButtonDkShadow", QColor(92, 104, 117) }, { "Window", White }, { "WindowText", Ink },
        { "Highlight", AccentDark }, { "HighlightText", White }, { "GrayText", DisabledInk },
        { "InfoWindow", QColor(255, 251, 230) }, { "InfoText", Ink }, { "HotLight", AccentDark },
        { "TitleTextActive", White }, { "TitleTextNoActive", QColor(200, 205, 210) } };
    return skin;
}

std::string DescriptionText(const TArtSkin& skin)
{
    std::ostringstream text;
    const auto line = [&](const std::string& content) { text << content << "\r\n"; };
    line("; The " + skin.Name + " skin. Every bitmap is drawn by the program's skin generator.");
    line("; Frames lie side by side; magenta (255 0 255) is transparent where Trans=1.");
    line("; Colours are red, green and blue, each 0 to 255, separated by blanks.");
    line("[Skins]");
    line("Version=150");
    line("");
    line("[TitlebarSkin]");
    line("SkinName=" + skin.Name);
    line("");
    line("[Fonts]");
    line("FontHeight=14");
    for (const TArtPart& part : skin.Parts) {
        line("");
        line("[" + part.Section + "]");
        if (!part.FrameNote.empty())
            line("; Frames: " + part.FrameNote + ".");
        line("Image=" + part.File);
        line("LeftWidth=" + std::to_string(part.Margins.left()));
        line("TopHeight=" + std::to_string(part.Margins.top()));
        line("RightWidth=" + std::to_string(part.Margins.right()));
        line("BottomHeight=" + std::to_string(part.Margins.bottom()));
        line("Frame=" + std::to_string(part.Frames));
        line(std::string("Trans=") + (part.Trans ? "1" : "0"));
        line("Tile=0");
        const std::pair<const char*, const QColor*> colours[] = {
            { "NormalColour", &part.NormalColour }, { "MouseOverColour", &part.MouseOverColour },
            { "PressedColour", &part.PressedColour }, { "NormalColour2", &part.NormalColour2 }
        };
        for (const auto& [key, colour] : colours) {
            if (colour->isValid())
                line(std::string(key) + "=" + Rgb(*colour));
        }
    }
    line("");
    line("[Colours]");
    for (const auto& [name, colour] : skin.Colours)
        line(name + "=" + Rgb(colour));
    return text.str();
}

bool WriteSkin(const TArtSkin& skin, const QString& folder, std::string& error)
{
    const QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("."))) {
        error = "cannot make the folder " + folder.toStdString();
        return false;
    }
    for (const TArtPart& part : skin.Parts) {
        const QString path = dir.filePath(QString::fromStdString(part.File));
        if (!part.Image.save(path, "BMP")) {
            error = "cannot write " + path.toStdString();
            return false;
        }
    }
    const QString path = dir.filePath(QStringLiteral("quillet.ini"));
    QFile description(path);
    const std::string text = DescriptionText(skin);
    if (!description.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || description.write(text.data(), static_cast<qint64>(text.size()))
            != static_cast<qint64>(text.size())) {
        error = "cannot write " + path.toStdString();
        return false;
    }
    return true;
}

} // namespace quillet::skin::art
