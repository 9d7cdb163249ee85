#pragma once

#include "FailureReporter.h"

class MessageReporter;

namespace popup {

// The gradient painter's failure port over the program's MessageReporter:
// UTF-8 texts become QStrings; an empty caption stays empty, which the
// MessageReporter shows as the program's title. Boxes have no parent window.
class GradientFailureReporter final : public FailureReporter
{
  public:
    // `messages` must outlive this object.
    explicit GradientFailureReporter(MessageReporter &messages);

    void reportFailure(std::string_view caption, std::string_view text) override;

  private:
    MessageReporter &m_messages;
};

} // namespace popup
