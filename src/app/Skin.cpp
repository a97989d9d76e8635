#include "app/Skin.h"

#include <QCoreApplication>
#include <QFile>
#include <QWidget>

namespace folvane {

QString SkinFilePath() { return QCoreApplication::applicationDirPath() + QStringLiteral("/Styles/Vista.styles"); }

bool ApplySkin(QWidget *window, const QString &skinFile)
{
    QFile file(skinFile);
    if (!window || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    window->setStyleSheet(QString::fromUtf8(file.readAll()));
    return true;
}

}  // namespace folvane
