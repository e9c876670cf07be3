#pragma once
// launchd job property lists, in the XML form people and installers write
// and in the binary form some tools leave behind.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

#include "platform/Plist.h"

namespace rk::test {

struct LaunchPlistWriter {
    enum class Form { xml, binary };

    struct Job {
        std::optional<QString> label;
        std::optional<QString> program;
        std::optional<QStringList> arguments;  // ProgramArguments
    };

    static QByteArray write(const Job& job, Form form = Form::xml);
    // Any dictionary, for the odd shapes (a non-text argument, a Label that is a number).
    static QByteArray write(const PlistValue& root, Form form);
};

}  // namespace rk::test
