#include "shell/TOneLineValidator.h"

namespace quillet {

QValidator::State TOneLineValidator::validate(QString& input, int& pos) const
{
    // The line edit takes the text as changed here, with the caret moved along.
    QString kept;
    kept.reserve(input.size());
    int keptBeforeCaret = 0;
    for (qsizetype i = 0; i < input.size(); ++i) {
        if (input[i].category() == QChar::Other_Control)
            continue;
        kept += input[i];
        if (i < pos)
            ++keptBeforeCaret;
    }
    if (kept.size() != input.size()) {
        input = kept;
        pos = keptBeforeCaret;
    }
    return Acceptable;
}

} // namespace quillet
