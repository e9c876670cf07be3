#!/usr/bin/env python3
"""Writes stores made to cost the reader the most memory or time, each within
the reader's 64 MiB size cap, for background_store_bench --hostile. Written
with Python's plistlib, which writes equal strings and one UID object once.
Given shape names (as the file names, without ".btm"), writes those alone.

    hostile_stores.py FOLDER [SHAPE...]
"""

import os
import plistlib
import sys

from write_store import Archive


class Padded(dict):
    """A dictionary whose own entries come after `padding` entries that all
    name one key object and one value: a list may name a key many times, and
    a reader takes the first entry of each. plistlib writes what items() gives."""

    def __init__(self, padding, fields):
        super().__init__(fields)
        self.padding = padding

    def items(self):
        return [("padding", 0)] * self.padding + list(super().items())


def items(archive, count, text):
    """`count` distinct items whose text fields are `text(i, field)`."""
    made = []
    for i in range(count):
        made.append(archive.obj(["ItemRecord", "NSObject"], {
            "name": archive.add(text(i, "n")), "type": 8, "disposition": 3,
            "url": archive.url(text(i, "u")), "identifier": archive.add(text(i, "i")),
            "teamIdentifier": archive.add(text(i, "t")), "developerName": archive.add(text(i, "d")),
            "executablePath": archive.add(text(i, "e")),
        }))
    return made


def naming_one(archive, count, text, extra=lambda i: {}):
    """`count` items whose every text field names the one object `text`,
    each with the fields `extra(i)` besides."""
    return [archive.obj(["ItemRecord", "NSObject"], {k: text for k in (
        "name", "url", "identifier", "teamIdentifier", "developerName", "executablePath")} | {
        "type": 8, "disposition": 3} | extra(i)) for i in range(count)]


def store(archive, lists, users=None):
    users = users or ["501"] * len(lists)
    storage = archive.add(None)
    keys = [archive.add(u) for u in users]
    arrays = [archive.obj(["NSArray", "NSObject"], {"NS.objects": l}) for l in lists]
    by_user = archive.obj(["NSDictionary", "NSObject"], {"NS.keys": keys, "NS.objects": arrays})
    archive.objects[storage.data] = {"itemsByUserIdentifier": by_user,
                                     "$class": archive.cls("Storage", "NSObject")}
    return plistlib.dumps({"$archiver": "NSKeyedArchiver", "$top": {"store": storage},
                           "$objects": archive.objects}, fmt=plistlib.FMT_BINARY, sort_keys=False)


def fan_out_past_the_cap():
    # 2 million entries of "$objects" naming one tiny object, and a list naming
    # one item 2 million times: once 2 million records and 1.2 GB.
    a = Archive()
    item = items(a, 1, lambda i, f: "file:///x" if f == "u" else f)[0]
    a.objects.extend(["x"] * 2_000_000)
    return store(a, [[item] * 2_000_000])


def fan_out_at_the_cap():
    # One item with 64 KB fields, listed as often as the cap allows.
    a = Archive()
    item = items(a, 1, lambda i, f: ("file:///" if f == "u" else "") + f * 65536)[0]
    a.objects.extend(["x%d" % i for i in range(100_000)])
    return store(a, [[item] * 100_000])


def distinct_records_at_the_cap():
    # 100,000 distinct items with long distinct fields: most text a file can hold.
    a = Archive()
    return store(a, [items(a, 100_000, lambda i, f: ("file:///" if f == "u" else "") + "%s%07d" % (f * 50, i))])


def strings_named_twice():
    # Every text named by two items, so a reader that keeps nothing builds it twice.
    a = Archive()
    made = items(a, 50_000, lambda i, f: ("file:///" if f == "u" else "") + "%s%07d" % (f * 150, i))
    twins = []
    for item in made:
        twins.append(item)
        fields = dict(a.objects[item.data])
        twins.append(a.add(fields))
    return store(a, [twins])


def one_huge_url():
    # A url and its path of 31 million characters each.
    a = Archive()
    return store(a, [items(a, 1, lambda i, f: "file:///" + "u" * 31_000_000 if f == "u" else f)])


def url_chains():
    # 100,000 items whose every field is one url 32 urls deep.
    a = Archive()
    url = a.add("file:///deep")
    for _ in range(32):
        url = a.obj(["NSURL", "NSObject"], {"NS.base": a.uid(0), "NS.relative": url})
    return store(a, [naming_one(a, 100_000, url, lambda i: {"n": i})])


def many_users():
    # 1.2 million users of one empty list, each user's name its own.
    a = Archive()
    storage = a.add(None)
    empty = a.obj(["NSArray", "NSObject"], {"NS.objects": []})
    names = [a.add("user%d" % i) for i in range(1_200_000)]
    by_user = a.obj(["NSDictionary", "NSObject"], {"NS.keys": names, "NS.objects": [empty] * len(names)})
    a.objects[storage.data] = {"itemsByUserIdentifier": by_user, "$class": a.cls("Storage", "NSObject")}
    return plistlib.dumps({"$archiver": "NSKeyedArchiver", "$top": {"store": storage},
                           "$objects": a.objects}, fmt=plistlib.FMT_BINARY, sort_keys=False)


def one_padded_string(count, padding=100_000):
    # `count` items whose every text field names one archived string of
    # `padding` entries before its own two.
    a = Archive()
    text = a.add(None)
    a.objects[text.data] = Padded(padding, {"NS.string": "file:///Applications/Padded.app",
                                            "$class": a.cls("NSString", "NSObject")})
    return store(a, [naming_one(a, count, text)])


def padded_string_10k_items():
    return one_padded_string(10_000)


def padded_string_100k_items():
    return one_padded_string(100_000)


def one_padded_list(users, padding=None):
    # `users` users, one name, all naming one archived list of `padding` (or
    # as many) entries before its own two, which lists no item.
    a = Archive()
    storage = a.add(None)
    empty = a.add(None)
    a.objects[empty.data] = Padded(padding or users, {"NS.objects": [], "$class": a.cls("NSArray", "NSObject")})
    name = a.add("501")
    by_user = a.obj(["NSDictionary", "NSObject"], {"NS.keys": [name] * users, "NS.objects": [empty] * users})
    a.objects[storage.data] = {"itemsByUserIdentifier": by_user, "$class": a.cls("Storage", "NSObject")}
    return plistlib.dumps({"$archiver": "NSKeyedArchiver", "$top": {"store": storage},
                           "$objects": a.objects}, fmt=plistlib.FMT_BINARY, sort_keys=False)


def padded_list_100k_users():
    return one_padded_list(100_000)


def padded_list_1m_users():
    return one_padded_list(1_000_000)


def long_utf16_text(count, units):
    # `count` items whose every text field names one UTF-16 string of `units` units.
    a = Archive()
    text = a.add("\u00e9" * units)
    return store(a, [naming_one(a, count, text)])


def utf16_text_10k_items():
    return long_utf16_text(10_000, 1_000_000)


def utf16_root_key():
    # A first key of 30 million UTF-16 units in the archive's root.
    a = Archive()
    archive = plistlib.loads(store(a, [[]]))
    return plistlib.dumps({"\u00e9" * 30_000_000: 1, **archive}, fmt=plistlib.FMT_BINARY, sort_keys=False)


SHAPES = [fan_out_past_the_cap, fan_out_at_the_cap, distinct_records_at_the_cap, strings_named_twice,
          one_huge_url, url_chains, many_users, padded_string_10k_items, padded_string_100k_items,
          padded_list_100k_users, padded_list_1m_users, utf16_text_10k_items, utf16_root_key]

if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    named = {shape.__name__.replace("_", "-"): shape for shape in SHAPES}
    wanted = sys.argv[2:] or list(named)
    if unknown := [name for name in wanted if name not in named]:
        sys.exit("unknown shape: " + " ".join(unknown))
    for name in wanted:
        with open(os.path.join(sys.argv[1], name + ".btm"), "wb") as out:
            out.write(named[name]())
