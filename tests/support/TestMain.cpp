#include <QApplication>
#include <gtest/gtest.h>

#include "support/TestEnv.h"

// Every test binary gets a QApplication (widgets need one) and its own throw-away storage folder,
// so no test ever touches the user's real settings or error log. PDFs render in the program's
// render child, which is not beside the test binaries.
int main(int argc, char **argv)
{
    if (qgetenv("FOLVANE_RENDER_HELPER").isEmpty())
        qputenv("FOLVANE_RENDER_HELPER", FOLVANE_RENDER_EXE);
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    folvane::test::InstallTestEnvironment();
    return RUN_ALL_TESTS();
}
