#include "platform/RegistryStore.h"

#include "platform/ProgramTitle.h"

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

namespace folvane::RegistryStore {

QString FilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/')
           + ProgramTitle() + QLatin1Char('/') + ProgramTitle() + QStringLiteral(".ini");
}

QString GetSetting(const QString &section, const QString &key, const QString &defaultValue)
{
    const QSettings store(FilePath(), QSettings::IniFormat);
    const QVariant value = store.value(section + QLatin1Char('/') + key);
    if (!value.isValid())
        return defaultValue;
    // The INI reader splits an unquoted value at commas; the stored text is the whole of it.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

QByteArray PaneLayout()
{
    const QByteArray text = GetSetting(QStringLiteral("Layout"), QStringLiteral("State")).toLatin1();
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? *decoded : QByteArray();
}

}  // namespace folvane::RegistryStore
