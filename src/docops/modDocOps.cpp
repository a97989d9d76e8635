#include "docops/modDocOps.h"

namespace folvane::modDocOps {

bool IsDigitOrBackspace(int keyAscii)
{
    return (keyAscii >= 48 && keyAscii <= 57) || keyAscii == 8;
}

}  // namespace folvane::modDocOps
