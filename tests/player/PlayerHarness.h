#pragma once

#include "../fakes/FakeFileCheck.h"
#include "../fakes/FakeFileDialog.h"
#include "../fakes/FakeLauncher.h"
#include "../fakes/FakeMediaPlayer.h"
#include "../fakes/FakeMessageReporter.h"

#include "PlayerServices.h"

#include <QFile>
#include <QTemporaryDir>

// Fakes for every service of the player's windows, and a bindings file in a
// fresh directory of its own.
struct PlayerHarness
{
    FakeLauncher launcher;
    FakeMediaPlayer media;
    // Values of u handed to the colour draw, in order; 0 once they run out.
    QList<double> uniforms;
    FakeMessageReporter messages;
    // Shared with the worker threads that call it, which may outlive a test.
    std::shared_ptr<FakeFileCheck> fileCheck = std::make_shared<FakeFileCheck>();
    std::shared_ptr<FakeFileDialogScript> dialogs = std::make_shared<FakeFileDialogScript>();
    int endRequests = 0;
    QList<QWidget *> moveRequests;
    QList<Qt::MouseButton> moveButtons; // the button of each move request
    QTemporaryDir dir;
    QString bindingsPath = dir.filePath(QStringLiteral("yygj"));
    QString bindingsSavePath; // empty: saves go to bindingsPath
    bool savesNowhere = false;

    // The fakes, with a real launcher or media player where one is given.
    [[nodiscard]] plovi::PlayerServices services(ProgramLauncher *realLauncher = nullptr,
                                                 audio::MediaPlayer *realMedia = nullptr)
    {
        return plovi::PlayerServices{
            realLauncher != nullptr ? *realLauncher : launcher,
            messages,
            FakeFileDialog::factory(dialogs),
            [this] { ++endRequests; },
            [this](QWidget *w, Qt::MouseButton button) {
                moveRequests << w;
                moveButtons << button;
                return true;
            },
            bindingsPath,
            realMedia != nullptr ? *realMedia : media,
            [this] { return uniforms.isEmpty() ? 0.0 : uniforms.takeFirst(); },
            bindingsSavePath,
            fileCheck,
            savesNowhere,
        };
    }

    void writeBindings(const QByteArray &bytes) const
    {
        QFile f(bindingsPath);
        if (f.open(QIODevice::WriteOnly)) {
            f.write(bytes);
        }
    }

    [[nodiscard]] QByteArray bindingsBytes() const
    {
        QFile f(bindingsPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};
