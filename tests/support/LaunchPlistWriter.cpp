#include "support/LaunchPlistWriter.h"

namespace rk::test {

namespace {

// Written as text, the way launchd plists are usually found on disk, so the
// reader is tested against XML that did not come from our own writer.
QByteArray xmlJob(const LaunchPlistWriter::Job& job) {
    QString out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n<dict>\n";
    if (job.label)
        out += "\t<key>Label</key>\n\t<string>" + job.label->toHtmlEscaped() + "</string>\n";
    if (job.program)
        out += "\t<key>Program</key>\n\t<string>" + job.program->toHtmlEscaped() + "</string>\n";
    if (job.arguments) {
        out += "\t<key>ProgramArguments</key>\n\t<array>\n";
        for (const QString& argument : *job.arguments)
            out += "\t\t<string>" + argument.toHtmlEscaped() + "</string>\n";
        out += "\t</array>\n";
    }
    out += "\t<key>RunAtLoad</key>\n\t<true/>\n</dict>\n</plist>\n";
    return out.toUtf8();
}

PlistValue dictionaryOf(const LaunchPlistWriter::Job& job) {
    PlistValue::Dictionary fields;
    if (job.label)
        fields.push_back({"Label", PlistValue(*job.label)});
    if (job.program)
        fields.push_back({"Program", PlistValue(*job.program)});
    if (job.arguments) {
        PlistValue::Array arguments;
        for (const QString& argument : *job.arguments)
            arguments.push_back(PlistValue(argument));
        fields.push_back({"ProgramArguments", PlistValue(std::move(arguments))});
    }
    fields.push_back({"RunAtLoad", PlistValue(true)});
    return PlistValue(std::move(fields));
}

}  // namespace

QByteArray LaunchPlistWriter::write(const Job& job, Form form) {
    return form == Form::xml ? xmlJob(job) : Plist::toBinary(dictionaryOf(job));
}

QByteArray LaunchPlistWriter::write(const PlistValue& root, Form form) {
    return form == Form::xml ? Plist::toXml(root) : Plist::toBinary(root);
}

}  // namespace rk::test
