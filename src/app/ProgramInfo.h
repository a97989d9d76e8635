#pragma once
// The maker's contact addresses, shown in the About box and opened by the web-site menu item.

#include <QString>

namespace folvane {

inline const QString &SupportEmail()
{
    static const QString address = QStringLiteral("support@quorrel-technologies.example");
    return address;
}

inline const QString &WebsiteAddress()
{
    static const QString address = QStringLiteral("https://www.quorrel-technologies.example/");
    return address;
}

}  // namespace folvane
