#pragma once

#include <QValidator>

namespace plovi {

// Refuses text holding a double quote or a line break, whether typed, pasted
// or committed by an input method: the bindings file cannot carry them.
class NoQuoteValidator : public QValidator
{
    Q_OBJECT
  public:
    using QValidator::QValidator;

    State validate(QString &input, int &pos) const override;

    [[nodiscard]] static bool isStorable(const QString &text);
};

} // namespace plovi
