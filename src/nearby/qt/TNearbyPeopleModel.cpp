#include "nearby/qt/TNearbyPeopleModel.h"

#include "settings/Settings.h"

namespace quillet {
namespace {

QString Computer(const TNearbyEndpoint& endpoint)
{
    const QString host = QString::fromStdString(endpoint.HostName);
    QString text = host.section(QLatin1Char('.'), 0, 0);
    if (!text.isEmpty())
        text += QStringLiteral(" \u00B7 ");
    text += QString::fromStdString(endpoint.Address);
    if (endpoint.Port != settings::DefaultPort)
        text += QStringLiteral(", port %1").arg(endpoint.Port);
    return text;
}

} // namespace

TNearbyPeopleModel::TNearbyPeopleModel(TNearbyPeople& people, QObject* parent)
    : QAbstractListModel(parent)
    , Rows(people)
{
    Rows.SetObserver(this);
}

TNearbyPeopleModel::~TNearbyPeopleModel()
{
    Rows.SetObserver(nullptr);
}

int TNearbyPeopleModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(Rows.RowCount());
}

QVariant TNearbyPeopleModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0
        || static_cast<std::size_t>(index.row()) >= Rows.RowCount())
        return {};
    const TNearbyPerson& person = Rows.Row(static_cast<std::size_t>(index.row()));
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return QString::fromStdString(person.Name);
    case ComputerRole:
        return Computer(person.Endpoint);
    case WarningRole:
        return WarningText(person);
    case Qt::AccessibleDescriptionRole: {
        const QString warning = WarningText(person);
        return warning.isEmpty() ? Computer(person.Endpoint)
                                 : warning + QStringLiteral(" \u00B7 ") + Computer(person.Endpoint);
    }
    case Qt::ToolTipRole: {
        // Rich text with every outside text escaped: a tool tip would take a name that looks
        // like markup for markup.
        QString warning = WarningText(person).toHtmlEscaped();
        if (!warning.isEmpty())
            warning = QStringLiteral("<br><b>%1</b>").arg(warning);
        return QStringLiteral("<p style=\"white-space:pre\">%1%2<br>on %3 (%4), port %5</p>")
            .arg(QString::fromStdString(person.Name).toHtmlEscaped(), warning,
                QString::fromStdString(person.Endpoint.HostName).toHtmlEscaped(),
                QString::fromStdString(person.Endpoint.Address).toHtmlEscaped())
            .arg(person.Endpoint.Port);
    }
    default:
        return {};
    }
}

QString TNearbyPeopleModel::WarningText(const TNearbyPerson& person)
{
    if (person.Standing != TNearbyStanding::NotContact)
        return {};
    return QStringLiteral("Not your contact %1").arg(QString::fromStdString(person.Contact));
}

void TNearbyPeopleModel::BeforeInsert(std::size_t row)
{
    beginInsertRows({}, static_cast<int>(row), static_cast<int>(row));
}

void TNearbyPeopleModel::AfterInsert()
{
    endInsertRows();
}

void TNearbyPeopleModel::BeforeRemove(std::size_t row)
{
    beginRemoveRows({}, static_cast<int>(row), static_cast<int>(row));
}

void TNearbyPeopleModel::AfterRemove()
{
    endRemoveRows();
}

void TNearbyPeopleModel::BeforeReset()
{
    beginResetModel();
}

void TNearbyPeopleModel::AfterReset()
{
    endResetModel();
}

void TNearbyPeopleModel::RowChanged(std::size_t row)
{
    const QModelIndex changed = index(static_cast<int>(row));
    emit dataChanged(changed, changed);
}

void TNearbyPeopleModel::StatusChanged()
{
    if (OnStatusChanged)
        OnStatusChanged();
}

} // namespace quillet
