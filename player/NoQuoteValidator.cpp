#include "NoQuoteValidator.h"

namespace plovi {

QValidator::State NoQuoteValidator::validate(QString &input, int &) const
{
    return isStorable(input) ? Acceptable : Invalid;
}

bool NoQuoteValidator::isStorable(const QString &text)
{
    return !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\r')) &&
           !text.contains(QLatin1Char('\n'));
}

} // namespace plovi
