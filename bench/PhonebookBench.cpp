// The phonebook at its size limit, 65,535 contacts, in the program's own code on the offscreen
// platform: loading it at start (read, sort, fill the list), one Add through the contact editor
// (check, save the whole section, sort and refill), the save and the refill alone, showing the
// list, and the memory a contact takes.
//
// Usage: bench_phonebook [runs]   (default 15)
#include "SampleContacts.h"

#include "support/PhonebookRig.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <malloc.h>
#include <vector>

namespace {

using namespace quillet;
using quillet::testing::TPhonebookRig;

constexpr int FullPhonebook = 65535;

std::vector<std::string> SectionLines(int contacts)
{
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(contacts));
    for (int i = 0; i < contacts; ++i)
        lines.push_back(quillet::bench::SampleContactLine(i));
    return lines;
}

double Milliseconds(const std::function<void()>& step)
{
    QElapsedTimer clock;
    clock.start();
    step();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void Report(const char* what, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const double median = n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    std::printf("%-44s n=%zu  median %7.2f ms  min %7.2f  max %7.2f\n", what, n, median,
        values.front(), values.back());
}

std::size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;

    TPhonebookRig rig(SectionLines(FullPhonebook));
    if (rig.Rows().size() != static_cast<std::size_t>(FullPhonebook)) {
        std::fprintf(stderr, "the phonebook did not load\n");
        return 1;
    }
    rig.Phonebook.Phonebook().SaveUsers(); // the file in the form the program writes it
    std::printf("settings.ini: %.1f KiB for %d contacts\n",
        static_cast<double>(rig.ReadFile().size()) / 1024.0, FullPhonebook);

    std::vector<double> load, add, save, refill;
    for (int i = 0; i < runs; ++i) {
        load.push_back(Milliseconds([&] { rig.Phonebook.LoadUsers(); }));
        // An add of a new contact, as the user makes it: the editor filled in, Ok, then the
        // check, the save of the whole section and the refill of the list.
        rig.EditorSteps.push_back(TPhonebookRig::Enter(
            QStringLiteral("Newcomer %1").arg(i), QStringLiteral("192.168.0.%1").arg(i)));
        add.push_back(Milliseconds([&] { rig.Phonebook.AddLabelClick(); }));
        save.push_back(Milliseconds([&] { rig.Phonebook.Phonebook().SaveUsers(); }));
        refill.push_back(Milliseconds([&] { rig.Phonebook.UpdateUsersList(); }));
        rig.Phonebook.Phonebook().DeleteUser(
            *rig.Phonebook.Phonebook().FindUser("Newcomer " + std::to_string(i)));
    }
    Report("load at start (read, sort, fill the list)", load);
    Report("one Add (check, save, sort, refill)", add);
    Report("  of which the save of the section", save);
    Report("  of which the sort and refill", refill);

    rig.Window.resize(160, 420);
    rig.List->setGeometry(5, 40, 137, 330);
    const double shown = Milliseconds([&] {
        rig.Window.show();
        QApplication::processEvents();
    });
    std::vector<double> scroll;
    for (int i = 0; i < runs; ++i) {
        scroll.push_back(Milliseconds([&] {
            rig.List->scrollToBottom();
            rig.List->viewport()->repaint();
            rig.List->scrollToTop();
            rig.List->viewport()->repaint();
        }));
    }
    std::printf("%-44s %7.2f ms\n", "window shown with the list laid out", shown);
    Report("scroll to the end and back, two repaints", scroll);

    // Memory: the contacts in memory and the list's rows, measured as heap in use before and
    // after a load into an emptied phonebook.
    rig.Phonebook.Phonebook().UsersList.clear();
    rig.Phonebook.Phonebook().UsersList.shrink_to_fit();
    rig.List->Fill({}, -1);
    malloc_trim(0);
    const std::size_t before = HeapInUse();
    rig.Phonebook.LoadUsers();
    const std::size_t after = HeapInUse();
    std::printf("memory per contact: %.0f bytes (heap in use %+.1f MiB for %d contacts)\n",
        static_cast<double>(after - before) / FullPhonebook,
        static_cast<double>(after - before) / (1024.0 * 1024.0), FullPhonebook);
    return 0;
}
