#pragma once

#include <QDialog>

namespace quillet {

// The contact editor. For now only its window: cream background, fixed size, empty caption. The
// fields and their checks come with the phonebook.
class TEditRecord : public QDialog {
public:
    explicit TEditRecord(QWidget* parent = nullptr);
};

} // namespace quillet
