#include "platform/AppError.h"

namespace folvane {

AppError::AppError(int number, const QString &description, std::source_location where)
    : std::runtime_error(description.toStdString()), number_(number), description_(description),
      line_(static_cast<int>(where.line()))
{
}

}  // namespace folvane
