#include "chatui/ConversationFile.h"

#include "chatui/TChatForm.h"
#include "chatui/TConversationTab.h"
#include "chatui/TPaneText.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <string>

namespace quillet {
namespace {

// Control characters and line or paragraph separators: what would break a line.
bool BreaksLine(char32_t ch)
{
    const QChar::Category category = QChar::category(ch);
    return category == QChar::Other_Control || category == QChar::Separator_Line
        || category == QChar::Separator_Paragraph;
}

QString OneLine(const QString& text)
{
    QString line;
    for (const char32_t ch : text.toUcs4())
        line += BreaksLine(ch) ? QStringLiteral(" ") : QString::fromUcs4(&ch, 1);
    return line;
}

// Ends `text` with a line break unless it is empty or has one.
QString AsLines(const QString& text)
{
    return text.isEmpty() || text.endsWith(u'\n') ? text : text + u'\n';
}

// The part of a file name that `text` gives, or an empty text when nothing of it is usable.
QString FileNameStem(const QString& text)
{
    // Characters that separate folders here, or that other systems refuse in a file name (the
    // file may go to a stick or a shared folder).
    static const QString Refused = QStringLiteral("/\\:*?\"<>|");
    QList<char32_t> kept;
    for (const char32_t ch : text.toUcs4()) {
        const QChar::Category category = QChar::category(ch);
        if (category == QChar::Other_Format || category == QChar::Other_Surrogate
            || category == QChar::Other_NotAssigned)
            continue;
        if (BreaksLine(ch) || QChar::isSpace(ch))
            kept.append(u' ');
        else if (ch < 0x10000 && Refused.contains(QChar(static_cast<char16_t>(ch))))
            kept.append(u'_');
        else
            kept.append(ch);
    }
    QString stem;
    bool blank = false;
    for (const char32_t ch : kept) {
        // Runs of blanks become one, and none leads.
        if (ch == u' ') {
            blank = !stem.isEmpty();
            continue;
        }
        // A leading dot hides the file, a leading dash reads as an option on a command line.
        if (stem.isEmpty() && (ch == u'.' || ch == u'-'))
            continue;
        if (blank)
            stem += u' ';
        blank = false;
        stem += QString::fromUcs4(&ch, 1);
    }
    // Cut by whole characters, then lose the blanks and dots that would end the name.
    const QList<uint> points = stem.toUcs4();
    if (points.size() > MaxFileNameStem) {
        const std::u32string whole(points.begin(), points.end());
        stem = QString::fromStdU32String(whole.substr(0, MaxFileNameStem));
    }
    while (stem.endsWith(u' ') || stem.endsWith(u'.'))
        stem.chop(1);
    return stem;
}

QString DefaultSaveFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

} // namespace

TConversationRecord ConversationRecord(const TConversationTab& tab, const QDateTime& saved)
{
    TConversationRecord record;
    record.PeerName = tab.PeerName();
    record.PeerAddress = tab.PeerAddress();
    record.PeerPort = tab.PeerPort();
    record.OwnName = tab.OwnName();
    record.Saved = saved;
    record.Transcript = tab.Texts().Transcript->Text();
    // In the one-line styles the typing pane holds a line not sent yet: not part of the
    // conversation.
    if (tab.Style() == TChatStyle::Realtime)
        record.OwnText = tab.Texts().Local->Text();
    return record;
}

QString ConversationFileText(const TConversationRecord& record)
{
    const QString name = OneLine(record.PeerName);
    const QString address = OneLine(record.PeerAddress);
    const QString port = OneLine(record.PeerPort);
    QString where;
    if (!address.isEmpty())
        where = port.isEmpty() ? address : address + QStringLiteral(", port ") + port;
    QString header = QStringLiteral("Conversation");
    if (!name.isEmpty())
        header
            += QStringLiteral(" with ") + name + (where.isEmpty() ? QString() : " (" + where + ")");
    else if (!where.isEmpty())
        header += QStringLiteral(" with ") + where;
    header
        += QStringLiteral(", saved ") + record.Saved.toString(QStringLiteral("yyyy-MM-dd HH:mm"));

    QString text = header + u'\n';
    if (!record.Transcript.isEmpty())
        text += u'\n' + AsLines(record.Transcript);
    if (!record.OwnText.isEmpty()) {
        const QString own = OneLine(record.OwnName);
        text += u'\n'
            + (own.isEmpty() ? QStringLiteral("Own text") : QStringLiteral("Typed by ") + own)
            + QStringLiteral(":\n") + AsLines(record.OwnText);
    }
    return text;
}

QString ConversationFileName(const QString& peerName, const QString& peerAddress, QDate date)
{
    QString stem = FileNameStem(peerName);
    if (stem.isEmpty())
        stem = FileNameStem(peerAddress);
    if (stem.isEmpty())
        stem = QStringLiteral("Conversation");
    return stem + u' ' + date.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".txt");
}

QString WriteConversationFile(const QString& path, const QString& text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // A write that fails makes the commit fail with its reason, and the file stays as it was.
    file.write(text.toUtf8());
    if (!file.commit())
        return file.errorString();
    return {};
}

void SaveConversation(TChatForm& form, const QString& fileName, const TChooseSaveFile& choose,
    const std::function<std::optional<TConversationRecord>()>& record)
{
    const QString folder = !form.SaveFolder().isEmpty() ? form.SaveFolder() : DefaultSaveFolder();
    const QString path = choose(&form, QDir(folder).filePath(fileName));
    if (path.isEmpty())
        return;
    form.SetSaveFolder(QFileInfo(path).absolutePath());
    // What arrived while the user chose the file is saved with the rest.
    const std::optional<TConversationRecord> saved = record();
    if (!saved)
        return;
    if (QString reason = WriteConversationFile(path, ConversationFileText(*saved));
        !reason.isEmpty()) {
        if (!reason.endsWith(u'.'))
            reason += u'.';
        form.PromptService().ShowError(
            ("The conversation could not be saved to " + path + ": " + reason).toStdString());
    }
}

} // namespace quillet
