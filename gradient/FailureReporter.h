#pragma once

#include <string_view>

// Shows a failure to the user: a modal message box with an exclamation icon and
// an OK button. Texts are UTF-8. An empty caption stands for the program's title.
class FailureReporter
{
  public:
    virtual ~FailureReporter() = default;

    virtual void reportFailure(std::string_view caption, std::string_view text) = 0;
};
