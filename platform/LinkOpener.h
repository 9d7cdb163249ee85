#pragma once

#include <QString>

#include <optional>

class QWidget;

// One request to open a document or link with the program registered for it
// (a mail program for mailto:, the browser for a web page).
struct LinkRequest
{
    QWidget *owner = nullptr;          // window the request is made for; may be null
    QString verb;                      // "open" (any letter case) is the only verb served
    QString target;                    // URL such as "mailto:..." or "https://..."
    std::optional<QString> parameters; // arguments for a program target; none for a link
    std::optional<QString> directory;  // working folder for a program target; none for a link
    int showMode = 1;                  // 1: a normal window

    friend bool operator==(const LinkRequest &, const LinkRequest &) = default;
};

// Hands links to the desktop. Never waits for the opened program.
class LinkOpener
{
  public:
    virtual ~LinkOpener() = default;

    // Returns whether the desktop accepted the request.
    [[nodiscard]] virtual bool openLink(const LinkRequest &request) = 0;
};
