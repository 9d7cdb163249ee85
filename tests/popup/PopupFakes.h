#pragma once

#include "AlertServices.h"
#include "FailureReporter.h"
#include "LinkOpener.h"
#include "ScreenMetrics.h"
#include "SoundPlayer.h"

#include <QList>
#include <QPair>
#include <QString>

#include <string>
#include <vector>

struct FakeSound final : audio::SoundPlayer
{
    bool playSoundAsync(const QString &path) override
    {
        played << path;
        return true;
    }
    QStringList played;
};

struct FakeLinks final : LinkOpener
{
    bool openLink(const LinkRequest &request) override
    {
        requests << request;
        return true;
    }
    QList<LinkRequest> requests;
};

struct FakeScreen final : ScreenMetrics
{
    int width = 1024;
    int height = 719;
    double ratio = 1.0;
    QRect deviceArea; // empty: no screen to keep to
    [[nodiscard]] int fullScreenWidth() const override { return width; }
    [[nodiscard]] int fullScreenHeight() const override { return height; }
    [[nodiscard]] double devicePixelRatio() const override { return ratio; }
    [[nodiscard]] QRect availableDeviceGeometry() const override { return deviceArea; }
};

struct FakeFailures final : FailureReporter
{
    void reportFailure(std::string_view, std::string_view text) override
    {
        reports.push_back(std::string(text));
    }
    std::vector<std::string> reports;
};

// One set of fakes and the services made of them.
struct PopupFakes
{
    FakeSound sound;
    FakeLinks links;
    FakeScreen screen;
    FakeFailures failures;
    int quits = 0;
    QList<QPair<int, QString>> errors;

    [[nodiscard]] popup::AlertServices services(TwipsScale scale = TwipsScale{15.0, 15.0})
    {
        return popup::AlertServices{
            sound,
            links,
            screen,
            failures,
            scale,
            [this] { ++quits; },
            [this](int number, const QString &text) { errors << qMakePair(number, text); }};
    }
};
