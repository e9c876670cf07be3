// A launchd job file in the person's LaunchAgents folder. The job names only
// what the file holds: its label is a string of the list or the file's name,
// its program a string of the list. And it does not depend on the form: the
// same list written again, binary or XML, gives the same job.
#include <algorithm>

#include "FuzzInput.h"
#include "finder/LaunchdScan.h"
#include "platform/Plist.h"

using fuzzing::require;

namespace {

const QString kFile = QStringLiteral("/Users/anna/Library/LaunchAgents/x.plist");

// Whether `text` is a string value anywhere in `value`.
bool holds(const rk::PlistValue& value, const QString& text) {
    if (const QString* string = value.string())
        return *string == text;
    if (const auto* items = value.array())
        return std::any_of(items->begin(), items->end(), [&](const auto& item) { return holds(item, text); });
    if (const auto* entries = value.dictionary())
        return std::any_of(entries->begin(), entries->end(),
                           [&](const auto& entry) { return holds(entry.value, text); });
    return false;
}

}  // namespace

void fuzz(const QByteArray& input) {
    const auto job = rk::LaunchdScan::job(input, kFile, "you");
    if (!job)
        return;
    const auto list = rk::Plist::parse(input, rk::LaunchdScan::sizeCap, rk::LaunchdScan::nodeCap);
    require(list && list->dictionary(), "a job comes from a dictionary within the bounds");
    require(job->plist == kFile && job->scope == "you", "the job keeps its file and scope");
    require(job->label == "x" || holds(list.value(), job->label),
            "the label is the file's name or in the list");
    require(!job->program || holds(list.value(), *job->program), "the program is in the list");

    if (!fuzzing::writersKeepTexts(list.value()))
        return;
    for (const QByteArray& again : {rk::Plist::toBinary(list.value()), rk::Plist::toXml(list.value())})
        require(rk::LaunchdScan::job(again, kFile, "you") == job,
                "the list written again gives the same job");
}
