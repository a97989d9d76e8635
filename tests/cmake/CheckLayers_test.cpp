// The include check the build runs before it compiles, run here on small made-up trees: an include
// that points up a layer fails it, named by file and line, and nothing else does.

#include "support/TestEnv.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace folvane;

namespace {

struct Source {
    QString path;
    QByteArray text;
};

struct Case {
    const char *name;
    std::vector<Source> sources;
    std::vector<std::string> reported;  ///< every line the check reports, in order; none when the tree keeps the rules
};

// The tree every case adds to: an engine of the platform, a widget unit ("Grid") and a unit of each
// layer above, each including what it may.
const std::vector<Source> &Base()
{
    static const std::vector<Source> base{
        {"src/platform/Engine.h", "#pragma once\n#include <QString>\n"},
        {"src/platform/Engine.cpp", "#include \"platform/Engine.h\"\n\n#include <qpdf/QPDF.hh>\n#include <tiffio.h>\n"},
        {"src/platform/Reader.h", "#pragma once\n#include <qpdf/QPDF.hh>\n"},
        {"src/platform/Grid.h", "#pragma once\n#include \"platform/Engine.h\"\n#include <QWidget>\n"},
        {"src/platform/Grid.cpp", "#include \"platform/Grid.h\"\n"},
        {"src/app/Start.cpp", "#include \"app/Start.h\"\n#include \"platform/Grid.h\"\n"},
        {"src/app/Start.h", "#pragma once\n// #include \"search/Main.h\" stays a comment\n"},
        {"src/docops/Cmd.cpp", "#include \"app/Start.h\"\n#include \"platform/Engine.h\"\n"},
        {"src/search/Main.cpp", "#include \"docops/Cmd.h\"\n#include \"app/Start.h\"\n#include \"platform/Grid.h\"\n"},
        {"src/main.cpp", "#include \"search/Main.h\"\n"},
    };
    return base;
}

struct CheckRun {
    int exitCode = -1;
    QString output;
    bool stamped = false;
};

CheckRun CheckLayers(const std::vector<Source> &extra)
{
    test::TempDir root;
    for (const std::vector<Source> *sources : {&Base(), &extra})
        for (const Source &source : *sources)
            root.createFile(source.path, source.text);
    const QString stamp = root.filePath(QStringLiteral("layers.checked"));
    QProcess cmake;
    cmake.setProcessChannelMode(QProcess::MergedChannels);
    cmake.start(QStringLiteral(FOLVANE_CMAKE),
                {QStringLiteral("-D"), QStringLiteral("ROOT=") + root.path(), QStringLiteral("-D"),
                 QStringLiteral("WIDGETS=Grid,Tree"), QStringLiteral("-D"), QStringLiteral("STAMP=") + stamp,
                 QStringLiteral("-P"), QStringLiteral(FOLVANE_CHECK_LAYERS)});
    CheckRun run;
    if (!cmake.waitForFinished(60000))
        return run;
    run.exitCode = cmake.exitStatus() == QProcess::NormalExit ? cmake.exitCode() : -1;
    run.output = QString::fromLocal8Bit(cmake.readAll());
    run.stamped = QFileInfo::exists(stamp);
    return run;
}

/// The report lines ("<file>:<line>: includes <name>: <why>") without their reasons.
std::vector<std::string> Reported(const QString &output)
{
    static const QRegularExpression report(QStringLiteral("^(src/\\S+:\\d+: includes \\S+):"),
                                           QRegularExpression::MultilineOption);
    std::vector<std::string> lines;
    for (auto it = report.globalMatch(output); it.hasNext();)
        lines.push_back(it.next().captured(1).toStdString());
    return lines;
}

TEST(CheckLayers, AnIncludeThatPointsUpALayerFailsNamingItsFileAndLine)
{
    const std::vector<Case> cases{
        {"a tree that keeps the rules", {}, {}},
        {"platform to app",
         {{"src/platform/Engine.cpp", "#include \"platform/Engine.h\"\n\n#include \"app/ErrorLog.h\"\n"}},
         {"src/platform/Engine.cpp:3: includes app/ErrorLog.h"}},
        {"platform to search in angle brackets, indented",
         {{"src/platform/Engine.h", "#pragma once\n\n\n  #  include <search/Main.h>\n"}},
         {"src/platform/Engine.h:4: includes search/Main.h"}},
        {"a platform widget to docops",
         {{"src/platform/Grid.cpp", "#include \"platform/Grid.h\"\n#include \"docops/Cmd.h\"\n"}},
         {"src/platform/Grid.cpp:2: includes docops/Cmd.h"}},
        {"app to search and to docops, the same line twice",
         {{"src/app/Start.cpp",
           "#include \"app/Start.h\"\n#include \"search/Main.h\"\n// a note\n#include \"docops/Cmd.h\"\n"
           "#include \"search/Main.h\"\n"}},
         {"src/app/Start.cpp:2: includes search/Main.h", "src/app/Start.cpp:4: includes docops/Cmd.h",
          "src/app/Start.cpp:5: includes search/Main.h"}},
        {"an engine to a platform widget",
         {{"src/platform/Engine.cpp", "#include \"platform/Engine.h\"\n#include \"platform/Tree.h\"\n"}},
         {"src/platform/Engine.cpp:2: includes platform/Tree.h"}},
        {"the outside libraries above the platform",
         {{"src/search/Main.cpp", "#include <qpdf/QPDF.hh>\n#include <jpeglib.h>\n"},
          {"src/docops/Cmd.cpp", "#include <tiffio.h>\n"},
          {"src/app/Start.cpp", "#include <zlib.h>\n#include <poppler-qt6.h>\n"}},
         {"src/app/Start.cpp:1: includes zlib.h", "src/app/Start.cpp:2: includes poppler-qt6.h",
          "src/docops/Cmd.cpp:1: includes tiffio.h", "src/search/Main.cpp:1: includes qpdf/QPDF.hh",
          "src/search/Main.cpp:2: includes jpeglib.h"}},
        {"a platform header above the platform that brings in qpdf through another",
         {{"src/platform/Pages.h", "#pragma once\n#include \"platform/Reader.h\"\n"},
          {"src/docops/Cmd.cpp", "#include \"app/Start.h\"\n#include \"platform/Pages.h\"\n"}},
         {"src/docops/Cmd.cpp:2: includes platform/Pages.h"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CheckRun run = CheckLayers(c.sources);
        ASSERT_GE(run.exitCode, 0) << "the check did not finish";
        EXPECT_EQ(Reported(run.output), c.reported) << run.output.toStdString();
        EXPECT_EQ(run.exitCode == 0, c.reported.empty()) << run.output.toStdString();
        // The build runs the check again until it passes.
        EXPECT_EQ(run.stamped, c.reported.empty());
    }
}

}  // namespace
