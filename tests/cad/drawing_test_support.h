#pragma once

// Helpers of the drawing tests: python3 with ezdxf as an independent reader and writer
// of DXF files, and the fixture folder.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>

namespace keldarn::cad::test {

inline QString FixturePath(const QString& name)
{
    return QStringLiteral(KELDARN_DXF_FIXTURES) + QLatin1Char('/') + name;
}

// The system's python3 (Debian's python3-ezdxf lives there, not in a python of a user's
// own environment).
inline QString PythonProgram()
{
    return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                             : QStringLiteral("python3");
}

// Runs a python script with arguments; its standard output, or nullopt when python
// could not run it or it failed (its error output then goes to `error`).
inline std::optional<QByteArray> RunPython(const QString& script, const QStringList& arguments,
                                           QByteArray* error = nullptr)
{
    QProcess process;
    process.start(PythonProgram(), QStringList{QStringLiteral("-c"), script} + arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        if (error)
            *error = process.readAllStandardError();
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

inline bool EzdxfAvailable()
{
    static const bool available = RunPython(QStringLiteral("import ezdxf"), {}).has_value();
    return available;
}

}  // namespace keldarn::cad::test
