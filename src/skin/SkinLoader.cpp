#include "skin/SkinLoader.h"

#include "skin/SkinDescription.h"
#include "skin/TQuickIni.h"
#include "skin/TSkinBitmapCache.h"
#include "skin/TSkinPackage.h"

#include <QFile>

#include <string_view>
#include <system_error>
#include <vector>

namespace quillet::skin {
namespace {

std::span<const std::uint8_t> Bytes(const QByteArray& data)
{
    return { reinterpret_cast<const std::uint8_t*>(data.constData()),
        static_cast<std::size_t>(data.size()) };
}

// The first half of the message about a skin file; what the program does instead follows.
std::string FileProblem(const std::filesystem::path& file, const std::string& reason)
{
    return "The skin file \"" + file.string() + "\" " + reason + ".";
}

// The whole file, or a reason why not.
bool ReadSkinFile(const std::filesystem::path& file, QByteArray& data, std::string& problem)
{
    std::error_code error;
    if (!std::filesystem::exists(file, error) && !error) {
        problem = FileProblem(file, "was not found");
        return false;
    }
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (std::filesystem::is_directory(status)) {
        problem = FileProblem(file, "is a folder, not a skin package");
        return false;
    }
    // A pipe or a device could hold the start up for ever, or never end.
    if (!error && !std::filesystem::is_regular_file(status)) {
        problem = FileProblem(file, "is not a regular file");
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (!error && size > MaxSkinFileBytes) {
        problem = FileProblem(file, "is too large to be a skin package");
        return false;
    }
    QFile in(QString::fromStdString(file.string()));
    if (!in.open(QIODevice::ReadOnly)) {
        problem = FileProblem(file, "cannot be read: " + in.errorString().toStdString());
        return false;
    }
    // Asking for the largest size would reserve that much for the whole run, as the package is
    // kept: ask for what the file holds (one byte more shows a file that grew meanwhile).
    const std::uintmax_t expected = error ? MaxSkinFileBytes : size;
    data = in.read(static_cast<qint64>(expected) + 1);
    if (in.error() != QFileDevice::NoError) {
        problem = FileProblem(file, "cannot be read: " + in.errorString().toStdString());
        return false;
    }
    if (static_cast<std::uintmax_t>(data.size()) > MaxSkinFileBytes) {
        problem = FileProblem(file, "is too large to be a skin package");
        return false;
    }
    return true;
}

} // namespace

TPackageRead ReadSkinPackage(std::span<const std::uint8_t> container, const TSkinLimits& limits)
{
    TSkinPackage package;
    if (!package.ReadPackage(container))
        return { nullptr, package.FaultText(), package.Fault() == TPackageFault::WrongVersion };
    const std::optional<std::size_t> descriptionEntry
        = package.FindEntryByFragment(DescriptionFragment);
    if (!descriptionEntry)
        return { nullptr, "it holds no skin description" };
    const std::span<const std::uint8_t> text = package.EntryBytes(*descriptionEntry);
    const auto overLimits = [](std::string fault) {
        return TPackageRead { nullptr, std::move(fault), false, true };
    };
    if (text.size() > limits.MaxDescriptionBytes)
        return overLimits("its skin description is " + std::to_string(text.size())
            + " bytes long, more than the " + std::to_string(limits.MaxDescriptionBytes)
            + " bytes Quillet reads");

    TQuickIni description;
    description.LoadText(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    TSkinBitmapCache bitmaps(package, limits.MaxDecodedPixels);
    auto skin = std::make_shared<TSkin>(ReadSkinDescription(
        description, [&bitmaps](std::string_view value) { return bitmaps.Bitmap(value); }));
    if (bitmaps.OverBudget())
        return overLimits("its bitmaps hold more than the "
            + std::to_string(limits.MaxDecodedPixels) + " pixels Quillet decodes for a skin");
    return { std::move(skin), {} };
}

TSkinLoad LoadSkin(
    const TSkinChoice& choice, const QByteArray& builtinPackage, const TSkinLimits& limits)
{
    TSkinLoad load;
    if (choice.Kind == TSkinChoice::TKind::None)
        return load;

    // The file's trouble, when the file is not used.
    std::string fileProblem;
    bool wrongVersion = false;
    if (choice.Kind == TSkinChoice::TKind::File) {
        QByteArray data;
        if (ReadSkinFile(choice.File, data, fileProblem)) {
            TPackageRead read = ReadSkinPackage(Bytes(data), limits);
            if (read.Skin != nullptr) {
                load.Skin = std::move(read.Skin);
                load.Package = data;
                return load;
            }
            wrongVersion = read.WrongVersion;
            fileProblem = read.OverLimits
                ? FileProblem(choice.File, "is too large to use: " + read.Fault)
                : FileProblem(choice.File, "is not a skin package (" + read.Fault + ")");
        }
    }

    TPackageRead builtIn = ReadSkinPackage(Bytes(builtinPackage), limits);
    if (builtIn.Skin != nullptr) {
        load.Skin = std::move(builtIn.Skin);
        load.Package = builtinPackage;
        if (wrongVersion)
            load.Problem = std::string(TSkinPackage::VersionMessage);
        else if (!fileProblem.empty())
            load.Problem = fileProblem + " Quillet uses its built-in skin instead.";
        return load;
    }
    if (wrongVersion || (fileProblem.empty() && builtIn.WrongVersion))
        load.Problem = std::string(TSkinPackage::VersionMessage);
    else if (!fileProblem.empty())
        load.Problem = fileProblem + " The built-in skin cannot be read either (" + builtIn.Fault
            + "): Quillet runs without a skin.";
    else
        load.Problem = "The built-in skin cannot be read (" + builtIn.Fault
            + "): Quillet runs without a skin.";
    return load;
}

} // namespace quillet::skin
