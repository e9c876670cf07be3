#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <cerrno>

#include "finder/LaunchdScan.h"
#include "support/HostileFiles.h"
#include "support/LaunchPlistWriter.h"
#include "support/PlatformFakes.h"
#include "support/TempRoot.h"

using namespace rk;
using rk::test::LaunchPlistWriter;
using Form = LaunchPlistWriter::Form;

namespace {

class LaunchdScanTest : public ::testing::Test {
protected:
    test::TempRoot root;
    void put(const QString& folder, const QString& name, const QByteArray& bytes) {
        root.writeFile(folder + "/" + name, bytes);
    }
    void putJob(const QString& folder, const QString& name, LaunchPlistWriter::Job job,
                Form form = Form::xml) {
        put(folder, name, LaunchPlistWriter::write(job, form));
    }
    QString user() const { return root.paths().userLaunchAgents(); }
    QString agents() const { return root.paths().systemLaunchAgents(); }
    QString daemons() const { return root.paths().systemLaunchDaemons(); }
};

}  // namespace

TEST_F(LaunchdScanTest, FoldersInOrderAndNamesInOrderWithScopes) {
    putJob(daemons(), "com.vendor.daemon.plist", {"com.vendor.daemon", "/usr/local/bin/d", {}});
    putJob(agents(), "com.vendor.b.plist", {"com.vendor.b", "/usr/local/bin/b", {}});
    putJob(agents(), "Com.vendor.a.plist", {"Com.vendor.a", "/usr/local/bin/a", {}});
    putJob(user(), "com.vendor.mine.plist", {"com.vendor.mine", "/Users/anna/bin/m", {}}, Form::binary);
    const auto jobs = LaunchdScan::scan();
    ASSERT_EQ(jobs.size(), 4);
    const QList<LaunchJob> want{
        {"/Users/anna/Library/LaunchAgents/com.vendor.mine.plist", "com.vendor.mine", "/Users/anna/bin/m",
         "you"},
        {"/Library/LaunchAgents/Com.vendor.a.plist", "Com.vendor.a", "/usr/local/bin/a", "all users (agent)"},
        {"/Library/LaunchAgents/com.vendor.b.plist", "com.vendor.b", "/usr/local/bin/b", "all users (agent)"},
        {"/Library/LaunchDaemons/com.vendor.daemon.plist", "com.vendor.daemon", "/usr/local/bin/d",
         "all users (daemon)"},
    };
    EXPECT_EQ(jobs, want);
}

// The label falls back to the file's name; the program to the first argument.
// A program named without a leading slash is looked up on launchd's search
// path: not ours to call missing.
TEST_F(LaunchdScanTest, LabelAndProgramRules) {
    using Dict = PlistValue::Dictionary;
    const PlistValue mixed(
        Dict{{"Label", PlistValue("mixed")},
             {"ProgramArguments", PlistValue(PlistValue::Array{PlistValue("/bin/x"), PlistValue(3)})}});
    const PlistValue numbers(Dict{{"Label", PlistValue(7)}, {"Program", PlistValue(9)}});
    for (Form form : {Form::xml, Form::binary}) {
        SCOPED_TRACE(form == Form::xml ? "xml" : "binary");
        root.remove(user());
        putJob(user(), "com.vendor.sync.plist", {std::nullopt, "/bin/sync", {}}, form);
        putJob(user(), "both.plist", {"both", "/bin/program", QStringList{"/bin/argument", "-x"}}, form);
        putJob(user(), "args.plist", {"args", std::nullopt, QStringList{"bin/first", "--flag"}}, form);
        putJob(user(), "empty.plist", {"empty", std::nullopt, QStringList{}}, form);
        put(user(), "mixed.plist", LaunchPlistWriter::write(mixed, form));
        put(user(), "numberlabel.plist", LaunchPlistWriter::write(numbers, form));
        QStringList jobs;
        for (const LaunchJob& job : LaunchdScan::scan())
            jobs << job.label + " " + job.program.value_or("none") + (job.programExists() ? "" : " missing");
        EXPECT_EQ(jobs, QStringList({"args bin/first", "both /bin/program missing",
                                     "com.vendor.sync /bin/sync missing", "empty none", "mixed none",
                                     "numberlabel none"}));
    }
}

TEST_F(LaunchdScanTest, FilesThatAreNotJobsAreSkipped) {
    putJob(user(), "good.plist", {"good", "/bin/good", {}});
    putJob(user(), "loud.PLIST", {"loud", "/bin/loud", {}});
    putJob(user(), "good.plist.bak", {"bak", "/bin/bak", {}});
    put(user(), "broken.plist", "<plist><dict><key>Label</key>");
    put(user(), "array.plist", LaunchPlistWriter::write(PlistValue(PlistValue::Array{}), Form::xml));
    put(user(), "empty.plist", QByteArray());
    root.makeFolder(user() + "/folder.plist");
    // What anyone the person runs could leave: too deep, more values than a
    // job may have, a pipe that never answers.
    for (const auto& hostile : test::HostileFiles::xmlNesting(2000))
        put(user(), hostile.name + ".plist", hostile.bytes);
    const PlistValue many(PlistValue::Dictionary{
        {"ProgramArguments", PlistValue(PlistValue::Array(LaunchdScan::nodeCap, PlistValue(true)))}});
    put(user(), "many.plist", LaunchPlistWriter::write(many, Form::xml));
    put(user(), "many-binary.plist", LaunchPlistWriter::write(many, Form::binary));
    ASSERT_EQ(::mkfifo(QFile::encodeName(root.disk(user() + "/pipe.plist")).constData(), 0600), 0);
    const auto jobs = LaunchdScan::scan();
    ASSERT_EQ(jobs.size(), 1);
    EXPECT_EQ(jobs.front().label, "good");
}

TEST_F(LaunchdScanTest, MissingOrClosedFoldersLeaveTheOthers) {
    putJob(agents(), "a.plist", {"a", "/bin/a", {}});
    putJob(daemons(), "d.plist", {"d", "/bin/d", {}});
    EXPECT_EQ(LaunchdScan::scan().size(), 2);  // no person's LaunchAgents folder

    putJob(user(), "u.plist", {"u", "/bin/u", {}});
    test::FakeFileProbe probe;
    probe.listErrors[root.disk(agents())] = EACCES;
    const auto jobs = LaunchdScan::scan(root.paths(), probe);
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(jobs[0].label, "u");
    EXPECT_EQ(jobs[1].label, "d");
}
