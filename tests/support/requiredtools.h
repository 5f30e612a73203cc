#pragma once

#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>

// The first of the tools (names on the PATH, or absolute paths) that is not
// there to run, or an empty string.
inline QString missingTool(const QStringList &tools)
{
    for (const QString &tool : tools) {
        const bool found = tool.startsWith(QLatin1Char('/'))
                               ? QFileInfo(tool).isExecutable()
                               : !QStandardPaths::findExecutable(tool).isEmpty();
        if (!found)
            return tool;
    }
    return QString();
}

// CI installs every tool the tests use (CI=true there).
inline bool isContinuousIntegration()
{
    return qEnvironmentVariable("CI") == QLatin1String("true");
}

// Skips the test function when a tool it needs is missing; under CI, where a
// missing tool is a broken set-up rather than a machine without it, fails it.
#define MOVARA_REQUIRE_TOOLS(...)                                                                  \
    do {                                                                                           \
        const QString missing_ = missingTool(QStringList{__VA_ARGS__});                            \
        if (!missing_.isEmpty()) {                                                                 \
            if (isContinuousIntegration())                                                         \
                QFAIL(qPrintable(missing_ + QStringLiteral(" is missing, and CI installs it")));   \
            QSKIP(qPrintable(missing_ + QStringLiteral(" is not installed")));                     \
        }                                                                                          \
    } while (false)

// The engine behind the adapter in this run (MOVARA_ENGINE, as the adapter reads it).
inline bool mpvUnderTest()
{
    return qEnvironmentVariable("MOVARA_ENGINE") == QLatin1String("mpv");
}

inline QString engineUnderTest()
{
    return mpvUnderTest() ? QStringLiteral("/usr/bin/mpv") : QStringLiteral("/usr/bin/mplayer");
}

// The variable that points the adapter at another build of the engine under test.
inline QString engineOverrideVariable()
{
    return mpvUnderTest() ? QStringLiteral("MOVARA_MPV") : QStringLiteral("MOVARA_MPLAYER");
}
