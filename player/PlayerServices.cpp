#include "PlayerServices.h"

#include <QFileInfo>

namespace plovi {

QString PlayerServices::currentBindingsPath() const
{
    if (!bindingsSavePath.isEmpty() && QFileInfo::exists(bindingsSavePath)) {
        return bindingsSavePath;
    }
    return bindingsPath;
}

} // namespace plovi
