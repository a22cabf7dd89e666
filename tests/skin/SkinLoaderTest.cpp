#include "SkinTestSupport.h"

#include "skin/BuiltinSkinPackage.h"
#include "skin/Lzhuf.h"
#include "skin/SkinBitmap.h"
#include "skin/SkinDescription.h"
#include "skin/SkinLoader.h"
#include "skin/SkinPackageWriter.h"
#include "skin/TQuickIni.h"
#include "skin/TSkinPackage.h"
#include "skin/TSkinStyle.h"

#include <QPainter>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillet::skin {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const QByteArray& data)
{
    return { data.begin(), data.end() };
}

Bytes ToBytes(std::string_view text)
{
    return { text.begin(), text.end() };
}

// The package inside a stored container, expanded.
Bytes Expanded(const Bytes& container)
{
    const auto expandedSize = qFromLittleEndian<quint32>(container.data() + 4);
    Bytes out;
    EXPECT_TRUE(LzhufDecode(std::span(container).subspan(8), expandedSize, out));
    return out;
}

Bytes Stored(const Bytes& package)
{
    const Bytes code = LzhufEncode(package);
    Bytes container(8);
    qToLittleEndian<quint32>(static_cast<quint32>(4 + code.size()), container.data());
    qToLittleEndian<quint32>(static_cast<quint32>(package.size()), container.data() + 4);
    container.insert(container.end(), code.begin(), code.end());
    return container;
}

Bytes OfVersion(const QByteArray& container, quint32 version)
{
    Bytes package = Expanded(ToBytes(container));
    qToLittleEndian<quint32>(version, package.data());
    return Stored(package);
}

QByteArray ToQt(const Bytes& bytes)
{
    return QByteArray(
        reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

TEST(BuiltinSkin, IsAPackageOfVersion20000WhoseEveryNamedBitmapDecodes)
{
    const Bytes container = ToBytes(BuiltinSkinPackage());
    ASSERT_GT(container.size(), 8u);
    EXPECT_EQ(qFromLittleEndian<quint32>(container.data()), container.size() - 4);
    const Bytes package = Expanded(container);
    EXPECT_EQ(package.size(), qFromLittleEndian<quint32>(container.data() + 4));
    EXPECT_EQ(qFromLittleEndian<quint32>(package.data()), 20000u);

    TSkinPackage reader;
    ASSERT_TRUE(reader.ReadPackage(container)) << reader.FaultText();
    std::size_t total = 16 + 4 * reader.EntryCount();
    for (std::size_t i = 0; i < reader.EntryCount(); ++i)
        total += reader.EntryName(i).size() + 2 + reader.EntryBytes(i).size();
    EXPECT_EQ(total, package.size()) << "header, names, sizes and entries, nothing else";

    Bytes text;
    ASSERT_EQ(reader.EntryByFragment(".ini", text), "quillet.ini");
    TQuickIni description;
    description.LoadText(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    EXPECT_EQ(description.SectionNames().front(), "Skins");

    // Every bitmap the description names is in the package and decodes.
    std::size_t images = 0;
    for (const std::string& section : description.SectionNames()) {
        const std::string name = description.LookupText(section, "Image", "");
        if (name.empty())
            continue;
        ++images;
        Bytes entry;
        reader.BitmapEntry(name, entry);
        EXPECT_FALSE(DecodeSkinBitmap(entry).isNull()) << section << ": " << name;
    }
    EXPECT_EQ(images, SkinPartCount) << "one bitmap for every part the engine paints";

    // Every part the engine paints, with as many frames as the engine counts for it.
    const std::pair<TSkinPartKind, int> parts[] = { { TSkinPartKind::PushButton,
                                                        frames::ButtonCount },
        { TSkinPartKind::CheckBox, frames::MarkCount },
        { TSkinPartKind::RadioButton, frames::MarkCount }, { TSkinPartKind::GroupBox, 1 },
        { TSkinPartKind::Tab, frames::TabCount }, { TSkinPartKind::TabPane, 1 },
        { TSkinPartKind::ScrollButton, frames::ScrollCount }, { TSkinPartKind::HorzScroll, 1 },
        { TSkinPartKind::VertScroll, 1 }, { TSkinPartKind::HorzScrollThumb, frames::ScrollCount },
        { TSkinPartKind::VertScrollThumb, frames::ScrollCount },
        { TSkinPartKind::SunkEdge, frames::EdgeCount }, { TSkinPartKind::MenuItem, 1 },
        { TSkinPartKind::MenuBackground, 1 } };
    static_assert(std::size(parts) == SkinPartCount);
    for (const auto& [kind, count] : parts) {
        const std::string section(SectionOf(kind));
        SCOPED_TRACE(section);
        const std::string name = description.LookupText(section, "Image", "");
        Bytes entry;
        reader.BitmapEntry(name, entry);
        ASSERT_FALSE(entry.empty()) << name << " is in the package";
        const QImage image = DecodeSkinBitmap(entry);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(description.ReadNumber(section, "Frame", 0), count);
        EXPECT_EQ(image.width() % count, 0) << "whole frames";
    }

    const TSkinLoad load = LoadSkin({}, BuiltinSkinPackage());
    ASSERT_NE(load.Skin, nullptr);
    EXPECT_EQ(load.Skin->Name, "Quillet");
    EXPECT_TRUE(load.Problem.empty());
    for (std::size_t i = 0; i < SkinPartCount; ++i)
        EXPECT_TRUE(load.Skin->Part(static_cast<TSkinPartKind>(i)).Skinned())
            << SkinPartSections[i];
}

// A small package: a push button part and a check box part with bitmaps, a radio button part
// naming an image that is not a bitmap, and a scroll button part naming one that is missing.
Bytes SmallPackage(const char* name = "Small")
{
    const std::string description
        = std::string("[Skins]\r\nVersion=150\r\n[TitlebarSkin]\r\nSkinName=") + name
        + "\r\n[PushButton]\r\nImage=folder\\button.bmp\r\nFrame=6\r\n"
          "[CheckBox]\r\nImage=check.BMP\r\nFrame=8\r\n"
          "[RadioButton]\r\nImage=radio.png\r\n"
          "[Scrollbar]\r\nImage=missing.bmp\r\n";
    const TSkinPackageEntry entries[] = { { "small.ini", ToBytes(description) },
        { "button.bmp", testing::BitmapFile({ 60, 10 }, qRgb(200, 10, 10)) },
        { "check.bmp", testing::BitmapFile({ 112, 14 }, qRgb(10, 200, 10)) },
        { "radio.png", testing::BitmapFile({ 14, 14 }, qRgb(10, 10, 200)) } };
    return BuildSkinContainer(entries);
}

TEST(SkinPackageRead, PartsWhoseBitmapIsMissingOrNoBitmapStayNative)
{
    const TPackageRead read = ReadSkinPackage(SmallPackage());
    ASSERT_NE(read.Skin, nullptr) << read.Fault;
    EXPECT_EQ(read.Skin->Name, "Small");
    EXPECT_TRUE(read.Skin->Part(TSkinPartKind::PushButton).Skinned()) << "found without its folder";
    EXPECT_TRUE(read.Skin->Part(TSkinPartKind::CheckBox).Skinned()) << "found in any letter case";
    EXPECT_FALSE(read.Skin->Part(TSkinPartKind::RadioButton).Skinned()) << "not a .bmp";
    EXPECT_FALSE(read.Skin->Part(TSkinPartKind::ScrollButton).Skinned()) << "not in the package";
    EXPECT_FALSE(read.Skin->Part(TSkinPartKind::Tab).Skinned()) << "no section";

    // Drawn: the skin's own button, the native radio button.
    TSkinStyle style(read.Skin, TSkinControls::All(), 99);
    QImage image(60, 25, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    QStyleOptionButton option;
    option.state = QStyle::State_Enabled;
    option.rect = QRect(0, 0, 60, 25);
    style.drawControl(QStyle::CE_PushButton, &option, &painter, nullptr);
    EXPECT_EQ(image.pixel(30, 20), qRgb(200, 10, 10));
    option.rect = style.subElementRect(QStyle::SE_RadioButtonIndicator, &option, nullptr);
    image.fill(Qt::white);
    style.drawPrimitive(QStyle::PE_IndicatorRadioButton, &option, &painter, nullptr);
    painter.end();
    EXPECT_NE(image.pixel(option.rect.center()), qRgb(10, 10, 200));
    EXPECT_NE(image.copy(option.rect), QImage(option.rect.size(), image.format()))
        << "a native radio button is there";
}

class LoadSkinTest : public ::testing::Test {
protected:
    std::filesystem::path File(const char* name, const Bytes& bytes)
    {
        const std::filesystem::path path
            = std::filesystem::path(Folder.path().toStdString()) / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    static std::string Quoted(const std::filesystem::path& path)
    {
        return "The skin file \"" + path.string() + "\" ";
    }

    QTemporaryDir Folder;
    QByteArray BuiltIn = BuiltinSkinPackage();
};

TEST_F(LoadSkinTest, AChosenFileIsUsedWhenItIsAValidPackage)
{
    const auto path = File("small.skin", SmallPackage("Chosen"));
    const TSkinLoad load = LoadSkin({ TSkinChoice::TKind::File, path }, BuiltIn);
    ASSERT_NE(load.Skin, nullptr);
    EXPECT_EQ(load.Skin->Name, "Chosen");
    EXPECT_EQ(ToBytes(load.Package), SmallPackage("Chosen"));
    EXPECT_TRUE(load.Problem.empty());

    const TSkinLoad none = LoadSkin({ TSkinChoice::TKind::None, {} }, BuiltIn);
    EXPECT_EQ(none.Skin, nullptr);
    EXPECT_TRUE(none.Problem.empty());
}

TEST_F(LoadSkinTest, AFileThatCannotBeUsedGivesOneMessageAndTheBuiltInSkin)
{
    const std::string instead = " Quillet uses its built-in skin instead.";
    struct {
        const char* Name;
        std::filesystem::path File;
        std::string Problem;
    } rows[] = {
        { "missing", Folder.path().toStdString() + "/gone.skin", "" },
        { "folder", Folder.path().toStdString(), "" },
        { "pipe", Folder.path().toStdString() + "/pipe.skin", "" },
        { "garbage", File("garbage.skin", ToBytes(std::string_view("not a skin at all"))), "" },
        { "other version", File("old.skin", OfVersion(ToQt(SmallPackage()), 19999)), "" },
    };
    rows[0].Problem = Quoted(rows[0].File) + "was not found." + instead;
    rows[1].Problem = Quoted(rows[1].File) + "is a folder, not a skin package." + instead;
    // Opening a pipe without a writer would wait for one for ever.
    ASSERT_EQ(mkfifo(rows[2].File.c_str(), 0600), 0);
    rows[2].Problem = Quoted(rows[2].File) + "is not a regular file." + instead;
    rows[4].Problem = std::string(TSkinPackage::VersionMessage);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        const TSkinLoad load = LoadSkin({ TSkinChoice::TKind::File, row.File }, BuiltIn);
        ASSERT_NE(load.Skin, nullptr);
        EXPECT_EQ(load.Skin->Name, "Quillet");
        EXPECT_EQ(load.Package, BuiltIn);
        if (!row.Problem.empty()) {
            EXPECT_EQ(load.Problem, row.Problem);
        } else {
            EXPECT_TRUE(load.Problem.starts_with(Quoted(row.File) + "is not a skin package ("))
                << load.Problem;
            EXPECT_TRUE(load.Problem.ends_with(")." + instead)) << load.Problem;
        }
    }
}

TEST_F(LoadSkinTest, AnUnreadableFileNamesTheReason)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    const auto path = File("locked.skin", SmallPackage());
    std::filesystem::permissions(path, std::filesystem::perms::none);
    const TSkinLoad load = LoadSkin({ TSkinChoice::TKind::File, path }, BuiltIn);
    EXPECT_TRUE(load.Problem.starts_with(Quoted(path) + "cannot be read: ")) << load.Problem;
    EXPECT_NE(load.Skin, nullptr);
}

TEST_F(LoadSkinTest, ABuiltInPackageOfAnotherVersionLeavesTheProgramUnskinned)
{
    const QByteArray old = ToQt(OfVersion(BuiltIn, 19999));
    const TSkinLoad load = LoadSkin({}, old);
    EXPECT_EQ(load.Skin, nullptr);
    EXPECT_EQ(load.Problem, TSkinPackage::VersionMessage);

    const auto missing = std::filesystem::path(Folder.path().toStdString()) / "gone.skin";
    const TSkinLoad both = LoadSkin({ TSkinChoice::TKind::File, missing }, QByteArray("junk"));
    EXPECT_EQ(both.Skin, nullptr);
    EXPECT_TRUE(both.Problem.starts_with(Quoted(missing)
        + "was not found. The built-in skin cannot "
          "be read either ("))
        << both.Problem;
}

struct TDescriptionCase {
    const char* Name;
    const char* Section;
    TSkinPartKind Kind;
    QMargins Margins;
    int Frames;
    bool Trans;
    bool Tile;
};

class DescriptionRules : public ::testing::TestWithParam<TDescriptionCase> { };

TEST_P(DescriptionRules, ReadIntoThePartRecord)
{
    const TDescriptionCase& c = GetParam();
    TQuickIni ini;
    ini.LoadText(c.Section);
    int looked = 0;
    const TSkin skin = ReadSkinDescription(ini, [&](std::string_view value) {
        ++looked;
        EXPECT_EQ(value, "a.bmp");
        QImage image(24, 8, QImage::Format_RGB32);
        image.fill(Qt::red);
        return image;
    });
    EXPECT_EQ(looked, 1) << "one bitmap, fetched once";
    const TSkinPart& part = skin.Part(c.Kind);
    EXPECT_EQ(part.Margins, c.Margins);
    EXPECT_EQ(part.FrameCount, c.Frames);
    EXPECT_EQ(part.Trans, c.Trans);
    EXPECT_EQ(part.Tile, c.Tile);
}

INSTANTIATE_TEST_SUITE_P(Sections, DescriptionRules,
    ::testing::Values(TDescriptionCase { "Plain",
                          "[Tabs]\nImage=a.bmp\nLeftWidth=3\nTopHeight=4\nRightWidth="
                          "5\nBottomHeight=6\nFrame=4\nTrans=1\nTile=1",
                          TSkinPartKind::Tab, { 3, 4, 5, 6 }, 4, true, true },
        TDescriptionCase {
            "NoFrameIsOne", "[Tabs]\nImage=a.bmp", TSkinPartKind::Tab, {}, 1, false, false },
        TDescriptionCase { "FrameZeroIsOne", "[Tabs]\nImage=a.bmp\nFrame=0", TSkinPartKind::Tab, {},
            1, false, false },
        TDescriptionCase { "NegativeFrameIsOne", "[Tabs]\nImage=a.bmp\nFrame=-3",
            TSkinPartKind::Tab, {}, 1, false, false },
        TDescriptionCase { "TileAboveOneIsOff", "[Tabs]\nImage=a.bmp\nTile=2", TSkinPartKind::Tab,
            {}, 1, false, false },
        TDescriptionCase { "NegativeBandsAreNone",
            "[Tabs]\nImage=a.bmp\nLeftWidth=-4\nTopHeight=0x2", TSkinPartKind::Tab, { 0, 2, 0, 0 },
            1, false, false },
        TDescriptionCase { "PaneBandsAtMostFour",
            "[tab.pane]\nimage=a.bmp\nleftwidth=9\ntopheight=4\nrightwidth=5\nbottomheight=1",
            TSkinPartKind::TabPane, { 4, 4, 4, 1 }, 1, false, false },
        TDescriptionCase { "OtherPartsKeepWideBands", "[SunkEdge]\nImage=a.bmp\nLeftWidth=9",
            TSkinPartKind::SunkEdge, { 9, 0, 0, 0 }, 1, false, false }),
    [](const auto& row) { return std::string(row.param.Name); });

TEST(SkinColours, AreThreeNumbersFromZeroTo255)
{
    const std::pair<const char*, QColor> rows[] = { { "1 2 3", QColor(1, 2, 3) },
        { "  7\t8   9 ", QColor(7, 8, 9) }, { "0 0 0", QColor(0, 0, 0) },
        { "255 255 255", QColor(255, 255, 255) }, { "", QColor() }, { "1 2", QColor() },
        { "1 2 3 4", QColor() }, { "256 0 0", QColor() }, { "-1 0 0", QColor() },
        { "a b c", QColor() }, { "1,2,3", QColor() }, { "0xFF 0 0", QColor() } };
    for (const auto& [text, colour] : rows)
        EXPECT_EQ(ParseSkinColour(text), colour) << '"' << text << '"';
}

} // namespace
} // namespace quillet::skin
