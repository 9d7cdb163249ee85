#include "GradientFailureReporter.h"

#include "MessageReporter.h"

#include <QString>

namespace popup {

namespace {

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

GradientFailureReporter::GradientFailureReporter(MessageReporter &messages) : m_messages(messages)
{}

void GradientFailureReporter::reportFailure(std::string_view caption, std::string_view text)
{
    m_messages.showError(nullptr, fromUtf8(caption), fromUtf8(text));
}

} // namespace popup
