#include "app/modGeneral.h"

namespace folvane::modGeneral {

QString ValidateDir(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

}  // namespace folvane::modGeneral
