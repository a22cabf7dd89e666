// The real program with a remote control, for the People Nearby tests and benchmark that run
// copies in network namespaces of their own. Everything is the program's own (RunQuillet); the
// control reads one command per line on standard input and answers each with one line on
// standard output, working the program the way its user would (menu items, keys):
//
//   ping      "ok", once the event loop runs
//   open      Menu > People Nearby
//   close     closes the People Nearby window
//   visible   Menu > Visible Nearby; "ok 1" or "ok 0", the check mark after it
//   rows      "rows" and a tab before each row "name|address|port"
//   seen      "seen" and a tab before every name the list ever showed since "open"
//   state     "state", a tab, what the empty list says, a tab, the line under the list
//   dial      Enter in the People Nearby list
//   tabs      "tabs" and a tab before each conversation tab's caption
//   cpu       "cpu" and the processor time used so far in milliseconds (user + system)
//   quit      Menu > Exit

#include "chatui/TChatForm.h"
#include "chatui/TPageControl.h"
#include "nearby/qt/TNearbyPeopleModel.h"
#include "nearby/qt/TNearbyPeopleView.h"
#include "nearby/qt/TPeopleNearbyForm.h"
#include "shell/Forms.h"
#include "shell/QuilletApp.h"
#include "shell/TMainForm.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QSocketNotifier>

#include <cstdio>
#include <set>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace quillet {
namespace {

std::set<QString> Seen;
std::string Pending;

void Answer(const QString& line)
{
    std::fputs((line + '\n').toUtf8().constData(), stdout);
    std::fflush(stdout);
}

TPeopleNearbyForm* NearbyForm()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* form = dynamic_cast<TPeopleNearbyForm*>(widget))
            return form;
    }
    return nullptr;
}

TNearbyPeopleModel* NearbyModel()
{
    TPeopleNearbyForm* form = NearbyForm();
    return form != nullptr ? dynamic_cast<TNearbyPeopleModel*>(form->PeopleList->model()) : nullptr;
}

void RecordSeen(TNearbyPeopleModel& model)
{
    for (int row = 0; row < model.rowCount(); ++row)
        Seen.insert(model.index(row).data().toString());
}

void Open()
{
    MainForm->PeopleNearbyItem->trigger();
    TNearbyPeopleModel* model = NearbyModel();
    if (model == nullptr) {
        Answer("no window");
        return;
    }
    static bool watching = false;
    if (!watching) {
        watching = true;
        QObject::connect(
            model, &QAbstractItemModel::rowsInserted, model, [model] { RecordSeen(*model); });
        QObject::connect(
            model, &QAbstractItemModel::modelReset, model, [model] { RecordSeen(*model); });
    }
    RecordSeen(*model);
    Answer("ok");
}

QString Rows()
{
    QString line = "rows";
    if (TNearbyPeopleModel* model = NearbyModel()) {
        for (std::size_t i = 0; i < model->People().RowCount(); ++i) {
            const TNearbyPerson& person = model->People().Row(i);
            line += QString("\t%1|%2|%3")
                        .arg(QString::fromStdString(person.Name),
                            QString::fromStdString(person.Endpoint.Address))
                        .arg(person.Endpoint.Port);
        }
    }
    return line;
}

QString Tabs()
{
    QString line = "tabs";
    TPageControl& tabs = ChatForm->Tabs();
    for (int i = 0; i < tabs.PageCount(); ++i)
        line += "\t" + tabs.PageCaption(tabs.Page(i));
    return line;
}

long CpuMilliseconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000L + t.tv_usec / 1000L; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void Dial()
{
    TPeopleNearbyForm* form = NearbyForm();
    if (form == nullptr) {
        Answer("no window");
        return;
    }
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(form->PeopleList, &press);
    QApplication::sendEvent(form->PeopleList, &release);
    Answer("ok");
}

void Run(const QString& command)
{
    if (command == "ping") {
        Answer("ok");
    } else if (command == "open") {
        Open();
    } else if (command == "close") {
        TPeopleNearbyForm* form = NearbyForm();
        if (form != nullptr)
            form->close();
        Answer(form != nullptr ? "ok" : "no window");
    } else if (command == "visible") {
        MainForm->VisibleNearbyItem->trigger();
        Answer(MainForm->VisibleNearbyItem->isChecked() ? "ok 1" : "ok 0");
    } else if (command == "rows") {
        Answer(Rows());
    } else if (command == "seen") {
        QString line = "seen";
        for (const QString& name : Seen)
            line += "\t" + name;
        Answer(line);
    } else if (command == "state") {
        TPeopleNearbyForm* form = NearbyForm();
        Answer(form == nullptr
                ? QString("no window")
                : "state\t" + form->PeopleList->EmptyText() + "\t" + form->StatusLabel->text());
    } else if (command == "dial") {
        Dial();
    } else if (command == "tabs") {
        Answer(Tabs());
    } else if (command == "cpu") {
        Answer(QString("cpu %1").arg(CpuMilliseconds()));
    } else if (command == "quit") {
        Answer("ok");
        MainForm->Exit1Click();
    } else {
        Answer("unknown command " + command);
    }
}

void ReadCommands(QSocketNotifier& notifier)
{
    char buffer[512];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {
        notifier.setEnabled(false);
        return;
    }
    Pending.append(buffer, static_cast<std::size_t>(got));
    for (auto end = Pending.find('\n'); end != std::string::npos; end = Pending.find('\n')) {
        const QString command = QString::fromStdString(Pending.substr(0, end)).trimmed();
        Pending.erase(0, end + 1);
        // The windows exist once the event loop runs, which is when this is called.
        if (MainForm != nullptr)
            Run(command);
        else
            Answer("not ready");
    }
}

void InstallRemoteControl()
{
    auto* notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, qApp);
    QObject::connect(
        notifier, &QSocketNotifier::activated, notifier, [notifier] { ReadCommands(*notifier); });
}

} // namespace

// Runs as the program makes its application object.
Q_COREAPP_STARTUP_FUNCTION(InstallRemoteControl)

} // namespace quillet

int main(int argc, char** argv)
{
    return quillet::RunQuillet(argc, argv);
}
