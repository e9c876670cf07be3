// The Move-In checklist, its marks and the device record. What the program
// writes of the marks and the record, it reads back equal; the checklist
// keeps only rows with an id and a title, a move time QDateTime can hold,
// and reads a bare list of rows as it reads the same rows under "rows".
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "FuzzInput.h"
#include "movein/MoveIn.h"

using fuzzing::require;

void fuzz(const QByteArray& input) {
    const rk::MoveIn::Marks marks = rk::MoveIn::marksFrom(input);
    require(!marks.opened.contains(QString()) && !marks.done.contains(QString()), "no mark without an id");
    require(rk::MoveIn::marksFrom(rk::MoveIn::marksData(marks)) == marks,
            "the marks written read back equal");

    if (const auto record = rk::KTDeviceMove::recordFrom(input)) {
        require(!record->fingerprint.isEmpty(), "a device record has a fingerprint");
        require(rk::KTDeviceMove::recordFrom(rk::KTDeviceMove::recordData(*record)) == record,
                "the device record written reads back equal");
    }

    const rk::MoveInList list = rk::MoveIn::loadList(input);
    require(!list.since || list.since->isValid(), "the move's time is a time");
    for (const rk::MoveInSpec& spec : list.specs)
        require(!spec.id.isEmpty() && !spec.title.isEmpty(), "every row has an id and a title");
    if (const QJsonValue value = QJsonDocument::fromJson(input).object().value("rows"); value.isArray()) {
        const QJsonArray rows = value.toArray();
        require(list.specs.size() <= rows.size(), "no more rows than the file has");
        require(rk::MoveIn::loadList(QJsonDocument(rows).toJson()).specs == list.specs,
                "a bare list of the rows reads as the same rows");
    }
}
