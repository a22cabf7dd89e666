#pragma once

// The main window's phonebook half on its own, as the tests drive it: the list, the Edit and
// Delete labels and Dial on a window, the real contact editor, prompts that answer, and a modal
// runner that plays the user's part each time the editor is shown.

#include "support/RecordPrinter.h"

#include "phonebook/PhonebookText.h"
#include "phonebook/TEditRecord.h"
#include "phonebook/TMainFormPhonebook.h"
#include "phonebook/TUsersListingBox.h"
#include "support/AnsweringPrompts.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace quillet::testing {

struct TDialed {
    std::string Address;
    std::string Port;
    TChatStyle Style;
    bool operator==(const TDialed&) const = default;
    friend void PrintTo(const TDialed& dialed, std::ostream* os)
    {
        *os << '{' << dialed.Address << " | " << dialed.Port << " | "
            << static_cast<unsigned>(dialed.Style) << '}';
    }
};

class TPhonebookRig {
public:
    // What the user does in the editor at one showing; it ends with Ok or Cancel (or nothing,
    // which counts as the close box).
    using TEditorStep = std::function<void(TEditRecord&)>;

    // The phonebook of `sectionLines` ("Ann=10.0.0.7", ...), loaded as at start-up.
    explicit TPhonebookRig(const std::vector<std::string>& sectionLines = {})
        : Settings(std::filesystem::path(Folder.path().toStdString()) / "settings.ini")
        , List(new TUsersListingBox(&Window))
        , EditLabel(new QLabel("Edit", &Window))
        , DeleteLabel(new QLabel("Delete", &Window))
        , DialButton(new QPushButton("Dial", &Window))
        , Phonebook(Settings, TPhonebookControls { *List, *EditLabel, *DeleteLabel, *DialButton },
              Prompts, [this](QDialog& dialog) { RunEditorStep(dialog); })
    {
        if (!sectionLines.empty()) {
            std::string content = "[Users Section]\n";
            for (const std::string& line : sectionLines)
                content += line + "\n";
            std::ofstream(Settings, std::ios::binary) << content;
        }
        List->setGeometry(5, 40, 137, 306);
        DialButton->setEnabled(false);
        Phonebook.SetEditRecord(&Editor);
        Phonebook.SetDial(
            [this](const std::string& address, const std::string& port, TChatStyle style) {
                Dials.push_back({ address, port, style });
            });
        Phonebook.LoadUsers();
    }

    // Ok after `edit`.
    static TEditorStep Ok(std::function<void(TEditRecord&)> edit = {})
    {
        return [edit = std::move(edit)](TEditRecord& editor) {
            if (edit)
                edit(editor);
            editor.Button1->click();
        };
    }
    static TEditorStep Cancel()
    {
        return [](TEditRecord& editor) { editor.Button2->click(); };
    }
    // Types into the two fields, then Ok.
    static TEditorStep Enter(const QString& name, const QString& address)
    {
        return Ok([name, address](TEditRecord& editor) {
            editor.UserNameEdit->setText(name);
            editor.IPAddrEdit->setText(address);
        });
    }

    void Select(const std::string& name)
    {
        for (int row = 0; row < List->Count(); ++row) {
            if (List->NameAt(row) == name)
                List->setCurrentIndex(List->model()->index(row, 0));
        }
    }
    std::vector<std::string> Rows() const
    {
        std::vector<std::string> rows;
        for (int row = 0; row < List->Count(); ++row)
            rows.push_back(List->NameAt(row));
        return rows;
    }
    std::string Selected() const
    {
        const int row = List->ItemIndex();
        return row < 0 ? "<none>" : List->NameAt(row);
    }
    std::vector<TUserRecordType> Users() const { return Phonebook.Phonebook().UsersList; }
    // What a restart would read.
    std::vector<TUserRecordType> Stored() const
    {
        TPhonebook restarted(Settings);
        restarted.ReadUsers();
        return restarted.UsersList;
    }
    // What a restart would read, in the list's order: what the list must show after a change.
    std::vector<TUserRecordType> StoredSorted() const
    {
        std::vector<TUserRecordType> users = Stored();
        std::sort(users.begin(), users.end(),
            [](const auto& a, const auto& b) { return CompareUserNames(a, b) < 0; });
        return users;
    }
    std::string ReadFile() const
    {
        std::ifstream in(Settings, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }

    QTemporaryDir Folder;
    std::filesystem::path Settings;
    QWidget Window;
    TUsersListingBox* List;
    QLabel* EditLabel;
    QLabel* DeleteLabel;
    QPushButton* DialButton;
    TEditRecord Editor;
    TAnsweringPrompts Prompts;
    std::deque<TEditorStep> EditorSteps;
    std::vector<TDialed> Dials;
    TMainFormPhonebook Phonebook;

private:
    void RunEditorStep(QDialog& dialog)
    {
        dialog.show();
        if (!EditorSteps.empty()) {
            TEditorStep step = std::move(EditorSteps.front());
            EditorSteps.pop_front();
            step(Editor);
        }
        dialog.hide();
    }
};

} // namespace quillet::testing
