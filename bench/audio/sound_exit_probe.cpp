// A stand-in for a pop-up's process: plays a WAV through OneShotSoundPlayer (or
// nothing), says "ready", and ends as soon as a line arrives on stdin.
//   sound_exit_probe none|playing|finished <wav>
#include "AudioSystem.h"
#include "OneShotSoundPlayer.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const bool play = std::strcmp(argv[1], "none") != 0;
    std::unique_ptr<audio::AudioSystem> audioSystem;
    std::unique_ptr<audio::OneShotSoundPlayer> player;
    if (play) {
        audioSystem = std::make_unique<audio::AudioSystem>();
        player = std::make_unique<audio::OneShotSoundPlayer>(*audioSystem);
        if (!player->playSoundAsync(QString::fromLocal8Bit(argv[2])))
            return 3;
        if (std::strcmp(argv[1], "finished") == 0) {
            while (player->isBusy())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    std::cout << "ready" << std::endl;
    std::string line;
    std::getline(std::cin, line);
    return 0;
}
