#pragma once

#include "Result.h"

class QCoreApplication;

// Installs Qt's own simplified Chinese texts (file dialogs, message-box
// buttons, process errors) into app and makes zh_CN the default locale,
// whatever the user's locale: the programs speak Chinese. Call once, after
// the application object exists and before the first window is built. Fails
// when Qt's translation files are missing (Debian: qt6-translations-l10n);
// Qt's texts then stay English.
[[nodiscard]] Result<void> installChineseTranslations(QCoreApplication &app);
