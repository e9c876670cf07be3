// A background-task store file, with its records resolved and the person's picked.
#include "FuzzInput.h"
#include "finder/BackgroundStore.h"

void fuzz(const QByteArray& input) {
    if (const auto records = rk::BackgroundStore::parse(input))
        rk::BackgroundStore::mine(records.value(), "/Users/anna");
}
