#include "nearby/qt/TPeopleNearbyForm.h"

#include "nearby/qt/TNearbyPeopleModel.h"
#include "nearby/qt/TNearbyPeopleView.h"
#include "nearby/qt/TNearbyPersonDelegate.h"

#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace quillet {

TPeopleNearbyForm::TPeopleNearbyForm(TNearbyPeople& people, QWidget* parent)
    : QDialog(parent)
    , PeopleList(new TNearbyPeopleView(this))
    , StatusLabel(new QLabel(this))
    , DialButton(new QPushButton(QStringLiteral("&Dial"), this))
    , AddButton(new QPushButton(QStringLiteral("&Add to Phonebook"), this))
    , Model(new TNearbyPeopleModel(people, this))
{
    setWindowTitle(QStringLiteral("People Nearby"));
    setModal(false);
    setSizeGripEnabled(true);

    PeopleList->setModel(Model);
    PeopleList->installEventFilter(this);
    PeopleList->viewport()->installEventFilter(this);
    PeopleList->setItemDelegate(new TNearbyPersonDelegate(PeopleList));
    PeopleList->setAccessibleName(QStringLiteral("People nearby"));
    StatusLabel->setTextFormat(Qt::PlainText);
    StatusLabel->setWordWrap(true);

    // Enter anywhere in the window dials: Dial is the default button, and the list passes Enter
    // on.
    DialButton->setDefault(true);
    AddButton->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(AddButton);
    buttons->addStretch(1);
    buttons->addWidget(DialButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PeopleList, 1);
    layout->addWidget(StatusLabel);
    layout->addLayout(buttons);
    resize(320, 380);

    QObject::connect(DialButton, &QPushButton::clicked, this, [this] { DialButtonClick(); });
    QObject::connect(AddButton, &QPushButton::clicked, this, [this] { AddButtonClick(); });
    QObject::connect(
        PeopleList, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
            if (index.isValid())
                DialButtonClick();
        });
    // The line under the list counts the rows it shows.
    const auto rowsChanged = [this] {
        FollowRows();
        ShowStatus();
    };
    QObject::connect(Model, &QAbstractItemModel::rowsInserted, this, rowsChanged);
    QObject::connect(Model, &QAbstractItemModel::rowsRemoved, this, rowsChanged);
    QObject::connect(Model, &QAbstractItemModel::modelReset, this, rowsChanged);
    QObject::connect(PeopleList->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this] { FollowRows(); });
    Model->OnStatusChanged = [this] { ShowStatus(); };
    ShowStatus();
    FollowRows();
}

TPeopleNearbyForm::~TPeopleNearbyForm() = default;

void TPeopleNearbyForm::ShowForm()
{
    show();
    raise();
    activateWindow();
    PeopleList->setFocus();
}

void TPeopleNearbyForm::SetVisibleNearby(bool chosen)
{
    VisibleChosen = chosen;
    ShowStatus();
}

std::optional<TNearbyPerson> TPeopleNearbyForm::SelectedPerson() const
{
    const QModelIndex current = PeopleList->currentIndex();
    if (!current.isValid() || !PeopleList->selectionModel()->isSelected(current))
        return std::nullopt;
    return Model->People().Row(static_cast<std::size_t>(current.row()));
}

void TPeopleNearbyForm::DialButtonClick()
{
    if (const std::optional<TNearbyPerson> person = SelectedPerson(); person && OnDial)
        OnDial(*person);
}

void TPeopleNearbyForm::AddButtonClick()
{
    if (const std::optional<TNearbyPerson> person = SelectedPerson(); person && OnAddToPhonebook)
        OnAddToPhonebook(*person);
}

QString TPeopleNearbyForm::EmptyText(TNearbyServiceState state)
{
    switch (state) {
    case TNearbyServiceState::Connecting:
        return QStringLiteral("Looking for people nearby\u2026");
    case TNearbyServiceState::NotRunning:
        return QStringLiteral(
            "Finding people nearby needs the Avahi service (avahi-daemon), and it is not "
            "running. Everything else in Quillet works as before; people appear here as soon as "
            "the service runs.");
    case TNearbyServiceState::Running:
        break;
    }
    return QStringLiteral("Nobody nearby is visible yet. People appear here when they turn on "
                          "Menu > Visible Nearby in their Quillet.");
}

QString TPeopleNearbyForm::StatusText(
    bool visibleChosen, const std::string& announcedName, bool overflowed, std::size_t shown)
{
    QString text;
    if (!announcedName.empty()) {
        text = QStringLiteral("Others nearby see you as \u201C%1\u201D.")
                   .arg(QString::fromStdString(announcedName));
    } else if (visibleChosen) {
        text = QStringLiteral("Others will see you as soon as Quillet answers calls and the Avahi "
                              "service runs.");
    } else {
        text = QStringLiteral("Others cannot see you. Menu > Visible Nearby shows you to them.");
    }
    if (overflowed) {
        text += QStringLiteral(" More people are around than the list holds; it shows %1.")
                    .arg(QLocale::system().toString(static_cast<qulonglong>(shown)));
    }
    return text;
}

void TPeopleNearbyForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!Browsing) {
        Browsing = true;
        UserPicked = false;
        if (OnShown)
            OnShown();
    }
    PeopleList->setFocus();
    FollowRows();
}

void TPeopleNearbyForm::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    // A minimised window still looks for people; a closed one does not.
    if (event->spontaneous() || !Browsing)
        return;
    Browsing = false;
    if (OnClosed)
        OnClosed();
}

bool TPeopleNearbyForm::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((watched == PeopleList && type == QEvent::KeyPress)
        || (watched == PeopleList->viewport() && type == QEvent::MouseButtonPress))
        UserPicked = true;
    return QDialog::eventFilter(watched, event);
}

void TPeopleNearbyForm::ShowStatus()
{
    const TNearbyPeople& people = Model->People();
    PeopleList->SetEmptyText(EmptyText(people.ServiceState()));
    StatusLabel->setText(
        StatusText(VisibleChosen, people.AnnouncedName(), people.Overflowed(), people.RowCount()));
}

void TPeopleNearbyForm::FollowRows()
{
    const QModelIndex current = PeopleList->currentIndex();
    if (Model->rowCount() > 0 && (!current.isValid() || (!UserPicked && current.row() != 0)))
        PeopleList->setCurrentIndex(Model->index(0));
    const bool selected = SelectedPerson().has_value();
    DialButton->setEnabled(selected);
    AddButton->setEnabled(selected);
}

} // namespace quillet
