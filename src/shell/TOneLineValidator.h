#pragma once

#include <QValidator>

namespace quillet {

// Keeps a line edit's text on one line: line breaks and other control characters, however they
// arrive (pasted, dropped, committed by an input method, set from a file), are left out of the
// text. Everything else is accepted as it is.
class TOneLineValidator final : public QValidator {
public:
    explicit TOneLineValidator(QObject* parent = nullptr)
        : QValidator(parent)
    {
    }

    State validate(QString& input, int& pos) const override;
};

} // namespace quillet
