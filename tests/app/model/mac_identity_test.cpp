#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/model/MacIdentity.h"

using namespace rk;
using namespace std::chrono_literals;

namespace {

const QString dot = QString::fromUtf8("\u00B7");

class ScriptedMachine final : public Machine {
public:
    ToolRun answer;
    QString program;
    QStringList arguments;
    std::chrono::milliseconds limit{0};

    ToolRun run(const QString& p, const QStringList& a, std::chrono::milliseconds l) override {
        program = p;
        arguments = a;
        limit = l;
        return answer;
    }
};

}  // namespace

TEST(MacIdentity, ReadsTheProfilersHardwareRecord) {
    const struct {
        const char* name;
        const char* json;
        QString want;
    } cases[] = {
        {"all three",
         R"({"SPHardwareDataType":[{"machine_name":"MacBook Air","chip_type":"Apple M2","machine_model":"Mac14,2"}]})",
         "MacBook Air (Apple M2) " + dot + " Mac14,2"},
        {"no chip", R"({"SPHardwareDataType":[{"machine_name":"iMac","machine_model":"iMac21,1"}]})",
         "iMac " + dot + " iMac21,1"},
        {"no model", R"({"SPHardwareDataType":[{"machine_name":"Mac mini","chip_type":"Apple M1"}]})",
         "Mac mini (Apple M1)"},
        {"no name", R"({"SPHardwareDataType":[{"chip_type":"Apple M3","machine_model":"Mac15,3"}]})",
         "Mac (Apple M3) " + dot + " Mac15,3"},
        {"name not text", R"({"SPHardwareDataType":[{"machine_name":7}]})", "Mac"},
        {"first record wins", R"({"SPHardwareDataType":[{"machine_name":"A"},{"machine_name":"B"}]})", "A"},
        {"empty list", R"({"SPHardwareDataType":[]})", ""},
        {"list with a non-object", R"({"SPHardwareDataType":[{"machine_name":"A"},3]})", ""},
        {"neither chip nor model", R"({"SPHardwareDataType":[{"machine_name":"Mac Studio"}]})", "Mac Studio"},
        {"not an object", R"([{"machine_name":"A"}])", ""},
        {"no hardware key", R"({"SPSoftwareDataType":[{"machine_name":"A"}]})", ""},
        {"not JSON", "system_profiler: command not found", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MacIdentity::fromProfile(c.json), c.want) << c.name;
}

// Asked for hardware as JSON within a limit; one that hangs or is missing
// (Linux has none at the Mac's path) gives nothing.
TEST(MacIdentity, AsksTheProfilerForHardwareAsJsonWithinALimit) {
    ScriptedMachine machine;
    machine.answer.outcome = ToolRun::Outcome::finished;
    machine.answer.exitCode = 0;
    machine.answer.out = R"({"SPHardwareDataType":[{"machine_name":"MacBook Pro"}]})";
    const auto paths = SystemPaths::rerooted("/tmp/elsewhere", "/Users/anna");
    EXPECT_EQ(MacIdentity::model(machine, paths), "MacBook Pro");
    EXPECT_EQ(machine.program, "/tmp/elsewhere/usr/sbin/system_profiler");
    EXPECT_EQ(machine.arguments, (QStringList{"SPHardwareDataType", "-json"}));
    EXPECT_TRUE(machine.limit > 0ms && machine.limit <= 10s);
    machine.answer.outcome = ToolRun::Outcome::timedOut;
    EXPECT_EQ(MacIdentity::model(machine), "");
    machine.answer = ToolRun{};  // not started
    EXPECT_EQ(MacIdentity::model(machine), "");
    QTemporaryDir root;
    EXPECT_EQ(MacIdentity::model(Machine::current(), SystemPaths::rerooted(root.path(), "/Users/anna")), "");
}

// A real child process at the profiler's place, which writes far more to
// standard error than a pipe holds before it answers.
TEST(MacIdentity, AChattyProfilerIsReadToTheEnd) {
    QTemporaryDir root;
    const auto paths = SystemPaths::rerooted(root.path(), "/Users/anna");
    const QString tool = paths.tool(MacTool::systemProfiler);
    QDir().mkpath(QFileInfo(tool).path());
    QFile script(tool);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(
        "#!/bin/sh\n"
        "head -c 500000 /dev/zero | tr '\\0' w >&2\n"
        "printf '%s' '{\"SPHardwareDataType\":[{\"machine_name\":\"Mac mini\",\"chip_type\":\"Apple "
        "M4\"}]}'\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    HostMachine machine;
    EXPECT_EQ(MacIdentity::model(machine, paths), "Mac mini (Apple M4)");
}
