// A launchd job file in the person's LaunchAgents folder. The job names only
// what the file holds: its label is a string of the list or the file's name,
// its program a string of the list. And it does not depend on the form: the
// same list written again, binary or XML, gives the same job, unless the
// XML form, which writes a string out wherever the list names it, passes
// the size cap.
#include "FuzzInput.h"
#include "finder/LaunchdScan.h"

using fuzzing::require;

const QString kFile = QStringLiteral("/Users/anna/Library/LaunchAgents/x.plist");

void fuzz(const QByteArray& input) {
    const auto job = rk::LaunchdScan::job(input, kFile, "you");
    if (!job)
        return;
    const auto list = rk::Plist::parse(input, rk::LaunchdScan::sizeCap, rk::LaunchdScan::nodeCap);
    require(list && list->dictionary(), "a job comes from a dictionary within the bounds");
    require(job->plist == kFile && job->scope == "you", "the job keeps its file and scope");
    const QSet<QString> strings = fuzzing::strings(list.value());
    require(job->label == "x" || strings.contains(job->label), "the label is the file's name or in the list");
    require(!job->program || strings.contains(*job->program), "the program is in the list");
    for (const QByteArray& again : fuzzing::writtenAgain(list.value()))
        require(again.size() > rk::LaunchdScan::sizeCap || rk::LaunchdScan::job(again, kFile, "you") == job,
                "the list written again gives the same job");
}
