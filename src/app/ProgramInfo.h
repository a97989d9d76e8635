#pragma once
// Facts about the program that are configuration rather than code.

#include <QString>

namespace folvane {

/// The maker's web site, opened from the Help menu.
inline const QString &WebSiteAddress()
{
    static const QString address = QStringLiteral("https://www.folvane.example/");
    return address;
}

}  // namespace folvane
