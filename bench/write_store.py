#!/usr/bin/env python3
"""Writes a background-task store for the store benchmark, with Python's own
plistlib: a writer that shares no code with the program's reader or its test
fixtures. The archive has the system's shape: "$top" names the Storage
object, whose "itemsByUserIdentifier" is an archived dictionary from user
identifiers to arrays of ItemRecord objects; each record holds its name,
type, disposition, url (an archived NSURL), identifier, team, developer and
executable path. Equal strings and equal references are written once, as
the system's binary writer does.

    write_store.py RECORDS OUT
"""

import plistlib
import sys

USERS = ["FFFFEEEE-DDDD-CCCC-BBBB-AAAA000001F5", "FFFFEEEE-DDDD-CCCC-BBBB-AAAA000001F6",
         "00000000-0000-0000-0000-000000000000"]


class Archive:
    def __init__(self):
        self.objects = ["$null"]
        self.uids = {}
        self.classes = {}

    def uid(self, index):
        # One UID object per index, so plistlib writes each reference once.
        return self.uids.setdefault(index, plistlib.UID(index))

    def add(self, value):
        self.objects.append(value)
        return self.uid(len(self.objects) - 1)

    def cls(self, *names):
        if names[0] not in self.classes:
            self.classes[names[0]] = self.add({"$classes": list(names), "$classname": names[0]})
        return self.classes[names[0]]

    def obj(self, names, fields):
        slot = self.add(None)  # the archiver numbers an object before what it holds
        fields["$class"] = self.cls(*names)
        self.objects[slot.data] = fields
        return slot

    def url(self, text):
        slot = self.add(None)
        self.objects[slot.data] = {"NS.base": self.uid(0), "NS.relative": self.add(text),
                                   "$class": self.cls("NSURL", "NSObject")}
        return slot


def item(archive, i):
    vendor = i % 97
    kind = (2, 8, 16)[i % 3]
    product = "Product %d" % i
    if kind == 2:
        path = "/Applications/%s.app/" % product.replace(" ", "%20")
        label = "com.vendor%d.product%d" % (vendor, i)
    else:
        label = "com.vendor%d.helper%d" % (vendor, i)
        folder = "LaunchAgents" if kind == 8 else "LaunchDaemons"
        path = "/Library/%s/%s.plist" % (folder, label)
    return archive.obj(["ItemRecord", "NSObject"], {
        "name": archive.add(product),
        "type": kind,
        "disposition": 2 if i % 5 == 0 else 3,
        "url": archive.url("file://" + path),
        "identifier": archive.add("%d.%s" % (kind, label)),
        "teamIdentifier": archive.add("TEAM%06d" % vendor),
        "developerName": archive.add("Vendor %d Ltd" % vendor),
        "executablePath": archive.add("/Applications/%s.app/Contents/MacOS/%s" % (product, product)),
    })


def store(records):
    archive = Archive()
    storage = archive.add(None)
    lists = [[] for _ in USERS]
    for i in range(records):
        lists[i % len(USERS)].append(item(archive, i))
    keys = [archive.add(user) for user in USERS]
    arrays = [archive.obj(["NSMutableArray", "NSArray", "NSObject"], {"NS.objects": items})
              for items in lists]
    by_user = archive.obj(["NSMutableDictionary", "NSDictionary", "NSObject"],
                          {"NS.keys": keys, "NS.objects": arrays})
    archive.objects[storage.data] = {"itemsByUserIdentifier": by_user,
                                     "$class": archive.cls("Storage", "NSObject")}
    return plistlib.dumps({"$version": 100000, "$archiver": "NSKeyedArchiver",
                           "$top": {"store": storage}, "$objects": archive.objects},
                          fmt=plistlib.FMT_BINARY, sort_keys=False)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[2], "wb") as out:
        out.write(store(int(sys.argv[1])))
