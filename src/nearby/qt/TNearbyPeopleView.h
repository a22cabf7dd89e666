#pragma once

#include <QListView>
#include <QString>

namespace quillet {

// The list of people nearby. While it has no rows it says why in words, inside the list, so that
// the list keeps the keyboard and the first person to arrive is selected where the user looks.
class TNearbyPeopleView final : public QListView {
public:
    explicit TNearbyPeopleView(QWidget* parent = nullptr);

    // The words shown while the list is empty (also its accessible description then).
    void SetEmptyText(const QString& text);
    const QString& EmptyText() const { return Empty; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString Empty;
};

} // namespace quillet
