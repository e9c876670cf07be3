#include <gtest/gtest.h>

#include "cli/SyntheticStore.h"
#include "finder/BackgroundStore.h"
#include "platform/KeyedArchiveWriter.h"

namespace rk {
namespace {

ArchivedItem app(const QString& name) {
    return ArchivedItem{.name = name,
                        .type = 2,
                        .disposition = 3,
                        .url = "/Applications/" + name + ".app",
                        .identifier = "2.com.example." + name};
}

// "user/name" of every record read, or the reader's error.
QStringList read(const QByteArray& archive) {
    const auto parsed = BackgroundStore::parse(archive);
    if (!parsed.ok())
        return {parsed.error().description()};
    QStringList read;
    for (const BTMRecord& record : parsed.value())
        read << record.user + "/" + record.name;
    return read;
}

TEST(SyntheticStore, ReadsBackThroughTheStoreReader) {
    const QList<ArchivedUser> twoUsers{{"501", {app("A")}}, {"502", {app("B"), app("C")}}};
    using Form = KeyedArchiveWriter::Form;
    const struct {
        const char* name;
        QByteArray archive;
        QStringList expected;
    } cases[] = {
        {"good", SyntheticStore::good(), {"FFFFEEEE-TEST/TEST: Ghost"}},
        {"broken", SyntheticStore::broken(), {"unknown format (record missing disposition)"}},
        {"empty", KeyedArchiveWriter::store({}), {}},
        {"two users", KeyedArchiveWriter::store(twoUsers), {"501/A", "502/B", "502/C"}},
        {"XML", KeyedArchiveWriter::store(twoUsers, Form::xml), {"501/A", "502/B", "502/C"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(read(c.archive), c.expected) << c.name;
}

}  // namespace
}  // namespace rk
